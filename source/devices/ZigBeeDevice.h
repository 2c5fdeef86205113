#pragma once

#include <QDateTime>
#include <QString>

#include "common/DevVersionInfo.h"
#include "common/ProgressHelper.h"

// One device heard on the network: who it is, how it takes part in a device
// update run, where it stands in its OTA dialogue and when it last spoke.
// Each client state allows a certain silence; a device that stays silent
// longer is marked inactive and, if it was being updated, failed.
//
// Times are kept in UTC: every device is checked once a second, and local
// time arithmetic costs a time-zone lookup per call.
class ZigBeeDevice : public ProgressHelper, public DevVersionInfo
{
public:
    enum eClientState_t : int
    {
        eClientStateUnknown = 0,
        eClientStateWaitForUpdateInfo = 1,
        eClientStateNoImageAvailable = 2,
        eClientStatePrepareUpdate = 3,
        eClientStateAbortUpdate = 4,
        eClientStateNoActivity = 5,
        eClientStateLoadData = 6,
        eClientStateCheckWriteData = 7,
    };

    // Transfers measured outside this range are not believed.
    static constexpr int kMinPlausibleDuration = 42;
    static constexpr int kMaxPlausibleDuration = 10800;

    ZigBeeDevice(ushort _shortAddr, ushort _devType, uint _version, const FirmwareCatalog* _catalog = nullptr);

    // Its list shows the change: the record itself knows no list.
    void setClientState(eClientState_t _state);
    // Whether it has been silent for longer than its state allows at _now:
    // it is then marked inactive, once per silence.
    bool checkForTimeout(const QDateTime& _now);
    // Its transfer timed out: one more failed attempt, with no time measured.
    void failTimedOut();

    // During a run (_inRun) a device that is selected takes part from nothing.
    using ProgressHelper::setSelected;
    void setSelected(bool _selected, bool _inRun);
    void setDone(ProgressHelper::_eResult_t _result) override;

    QString name() const;
    QString clientStateName() const;
    QString clientStateText() const;
    QString timeSinceActivityText() const;
    QString timeSinceActivityText(const QDateTime& _now) const;
    QString resultName() const;
    bool isBatteryPowered() const;

    void startTiming();
    void startTiming(const QDateTime& _now);
    void stopTiming();
    void stopTiming(const QDateTime& _now);
    void resetTiming();

    // Silence allowed in a client state, in seconds; 0 = none.
    static int timeoutOf(eClientState_t _state);
    static QString clientStateText(eClientState_t _state);
    static QString clientStateName(eClientState_t _state);

    // The IEEE address as received (little-endian); 0 until the stick named it.
    // Unlike the short address it stays when the device joins again.
    quint64 m_extAddr = 0;
    QString extAddressText() const;

    // The current run as its report tells it. Cancel, restarts and failures
    // reset the OTA bookkeeping below; this stays until the next run starts.
    struct RunRecord
    {
        quint32 versionBefore = kNoVersion; // when the run started, or when the device joined it
        int attempts = 0;                   // images offered
        QDateTime firstOffer;
        QDateTime lastResult;    // the latest success or failure
        QDateTime transferStart; // first block of the latest transfer
        QDateTime transferEnd;   // its last block; null until served
    };
    RunRecord m_run;

    ushort shortAddr = 0;
    QDateTime m_updateStart;
    int m_updateDuration = -1;
    eClientState_t m_clientState = eClientStateUnknown;
    QDateTime m_lastActivity;
    int m_timeout = 0;
};
