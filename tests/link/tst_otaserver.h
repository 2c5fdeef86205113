#pragma once

#include <QObject>

class StickHarness;

// The OTA Upgrade server with real image files in the update folder: the
// road of one device, the rules of a run and the stick's own update.
class tst_OtaServer : public QObject
{
    Q_OBJECT
private slots:
    void queryDecisions_data();
    void queryDecisions();
    void blockDecisions_data();
    void blockDecisions();
    void roadOfOneDevice_data();
    void roadOfOneDevice();
    void blockSizes_data();
    void blockSizes();
    void oneDeviceAtATime();
    void wallTransmitterGoesFirst();
    void threeAttemptsAtMost();
    void missingOrEmptyFile_data();
    void missingOrEmptyFile();
    void servedFileIsThePlainName();
    void foreignManufacturer();
    void blockRefusals_data();
    void blockRefusals();
    void fileErrorDuringTransfer();
    void updateStopAfterSearchTime();
    void abortRun();
    void measuredDurationFeedsAverage();
    void upgradeEndRefused();
    void stickUpdate_data();
    void stickUpdate();
    void stickUpdateAlwaysEnds_data();
    void stickUpdateAlwaysEnds();
    void onlyTheStickSpeaksForIt_data();
    void onlyTheStickSpeaksForIt();

private:
    // Fresh settings, a connected stick and a firmware record of type 1
    // (version 1.2.3) with an image of _size bytes.
    static void prepare(StickHarness& _harness, int _size = 1000);
};
