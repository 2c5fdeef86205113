#pragma once

// How long the end-to-end runs (the whole tool against the simulated stick
// and the local update server) wait for each step. Upper bounds only: a step
// that comes sooner ends its wait at once, so they leave room for a slow
// machine and the sanitizer build. What a fault lasts is part of the fault
// and stays with the test that makes it.
namespace E2eTimings {
// The stick connected and in its network, the index fetched and checked,
// the devices listed.
constexpr int kConnectMs = 10000;
// Every offered file fetched from the local server, checked and held.
constexpr int kDownloadMs = 20000;
// A device run of a few devices.
constexpr int kRunMs = 60000;
// A device run that meets a fault: the longest waits out the 30 s silence
// limit of a device in transfer, or a cut line and the transfer restarted.
constexpr int kFaultyRunMs = 90000;
// The stick's own firmware, from the click to the stick running it.
constexpr int kStickUpdateMs = 40000;
// One step of the window's update flow: a click to the next button offered.
constexpr int kWindowStepMs = 60000;
// The report of an ended run written.
constexpr int kReportMs = 10000;
} // namespace E2eTimings
