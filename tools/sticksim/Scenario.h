#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Manufacturer code of the devices this network is made of.
constexpr quint16 kSimManufacturer = 0x1C3D;

// Intervals of the stick and the defaults of the devices, in milliseconds.
struct SimTiming
{
    int connectIntervalMs = 1000;
    int replyTimeoutMs = 1000;
    int maxRetries = 5;
    int resetPollMs = 5000;
    int nwkStatusMs = 10000;
    int discoveryMs = 3000;
    int queryIntervalMs = 5000;
    int stickQueryIntervalMs = 5000;
    int blockIntervalMs = 0;
    int restartDelayMs = 2000;
    int stickRestartDelayMs = 3000; // below the tool's 6 s link watchdog
    // A device whose request was not forwarded or not answered asks again
    // after requestRetryMs and gives the transfer up after requestMaxRetries.
    int requestRetryMs = 2000;
    int requestMaxRetries = 10;
};

// One OTA client: a device of the network or the stick taking its own image.
struct SimClientConfig
{
    quint16 shortAddress = 0;
    quint16 imageType = 0;
    quint32 version = 0;
    quint16 manufacturer = kSimManufacturer;
    quint8 endpoint = 1;
    int maxDataSize = 64;
    int queryIntervalMs = 5000;
    int firstQueryMs = -1; // -1: a random moment within the first second
    int blockIntervalMs = 0;
    int restartDelayMs = 2000;
    int requestRetryMs = 2000;
    int requestMaxRetries = 10;
    // Faults
    qint64 restartAtOffset = -1; // once: restarts in mid-transfer, keeps its old version
    bool keepOldVersion = false; // reports its old version after every upgrade
    qint64 silentAfterMs = -1;   // falls silent for good that long after the start
    qint64 silentAtOffset = -1;  // falls silent for good in mid-transfer
    // Misbehaviour: the image type it names in its queries, and in its block
    // and end requests (-1: its own), and the status it ends every complete
    // transfer with (0: takes a good image).
    int queryImageType = -1;
    int blockImageType = -1;
    int endStatus = 0;
    // From newVersionAtMs on (-1: never) it runs newVersion, as if updated
    // another way, and reports it in its next query.
    qint64 newVersionAtMs = -1;
    quint32 newVersion = 0;
};

struct SimStickConfig
{
    SimClientConfig client; // shortAddress, version, image type 6
    quint8 channel = 11;
    QByteArray networkId = QByteArray::fromHex("0123456789abcdef");
    quint8 networkState = 3;
};

struct SimLinkCut
{
    qint64 atMs = 0;
    qint64 forMs = 0;
};

struct SimFaults
{
    double corruptShare = 0.0;
    double duplicateShare = 0.0;
    double repeatSeqShare = 0.0;
    double dropReplyShare = 0.0;
    QList<SimLinkCut> linkCuts;
    qint64 networkIdChangeAtMs = -1;
    QList<qint64> stickRestartsAtMs;
    // The stick goes deaf at deafAtMs (-1: never) for deafForMs.
    qint64 deafAtMs = -1;
    qint64 deafForMs = 0;
};

// A network and its faults, read from a JSON scenario file. Every value is
// checked on reading; an error names the field ("devices[1].version: ...").
class Scenario
{
public:
    quint32 seed = 1;
    SimTiming timing;
    SimStickConfig stick;
    QList<SimClientConfig> devices;
    SimFaults faults;
    qint64 stopAfterMs = 0;       // 0: no limit
    bool stopWhenNoImage = false; // stop once every client was told there is nothing for it

    static bool fromJson(const QByteArray& _json, Scenario& _out, QString& _error);
    static bool load(const QString& _path, Scenario& _out, QString& _error);

    // Strict "major.minor.patch", each 0..255; false for anything else.
    static bool parseVersionText(const QString& _text, quint32& _version);
};
