#pragma once

#include <QAbstractListModel>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QTimer>
#include <QVariantMap>

#include "ZigBeeDevice.h"

class FileRecordCache;
class FirmwareCatalog;
class RunState;

// Every device heard on the network, in a fixed order (wall transmitters
// first, then by device type and short address), with the summary figures of
// a device update run and the one-second supervision of client timeouts.
class ZigBeeDeviceModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Roles
    {
        NameRole = Qt::UserRole + 11, // 267
        DevTypeRole,
        VersionRole,
        ProgressRole,
        DoneRole,
        HasUpdateRole,
        ExtAddressRole,
    };

    enum eCountType_t
    {
        eCountTypeUpdatable = 0,
        eCountTypeToUpdate = 1,
        eCountTypeWallTransmitterAwake = 2,
    };
    Q_ENUM(eCountType_t)

    // A run searches for devices at least this long before it may end by itself.
    static constexpr int kMinSearchSeconds = 1500;
    static constexpr int kSupervisionIntervalMs = 1000;

    // _catalog: the firmware file list each device is compared with;
    // _runState: whether a device update run is under way, and its end.
    ZigBeeDeviceModel(const FirmwareCatalog& _catalog, RunState& _runState, QObject* parent = nullptr);
    ~ZigBeeDeviceModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    Q_INVOKABLE QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Q_INVOKABLE bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QHash<int, QByteArray> roleNames() const override;
    Q_INVOKABLE void setProgress(int _row, int _value);
    Q_INVOKABLE QVariantMap get(int _row) const;

    void addZigBeeDevice(unsigned short _shortAddr, unsigned short _devType, unsigned int _version,
                         quint64 _extAddr = 0);
    ZigBeeDevice* findDevice(ushort _shortAddr) const;
    const ZigBeeDevice* deviceAt(int _row) const { return m_list.value(_row, nullptr); }
    int rowOf(ushort _shortAddr) const;
    void updateActivity(ushort _shortAddr, const QDateTime& _now = QDateTime::currentDateTimeUtc());
    void setClientState(ushort _shortAddr, ZigBeeDevice::eClientState_t _state);
    void refreshRow(ushort _shortAddr);
    // dataChanged for every row, one at a time: the translated cells are read again.
    void refreshAll();
    void setDone(int _row, ProgressHelper::_eResult_t _val);
    // The transfer of a device that timed out in the update list fails.
    void failTimedOut(ushort _shortAddr);

    // The version a device reports in its latest Query Next Image: what it
    // runs now, whatever it ran before. During a run a device that has not
    // started yet takes part only while its file is newer.
    void reportVersion(ushort _shortAddr, quint32 _version);
    // The steps of a device's update, by short address; an unknown address changes nothing.
    // The device restarted after a transfer and reports _version: the update worked or it counts as a failure.
    void verifyUpdate(ushort _shortAddr, quint32 _version, bool _success);
    // One more failed attempt, with _result as its outcome.
    void countFailure(ushort _shortAddr, ProgressHelper::_eResult_t _result);
    // No attempt is left: the device is not started again in this run.
    void giveUp(ushort _shortAddr, ProgressHelper::_eResult_t _result);
    // Its image is offered: the transfer starts from nothing.
    void startTransfer(ushort _shortAddr);
    // A block was served: progress in per mille; the first block starts the
    // clock, the last stops it. Returns the measured seconds after the last
    // block, else -1.
    int recordBlock(ushort _shortAddr, int _perMille, bool _first, bool _last);
    // A refused request: the transfer time measured so far does not count.
    void resetTiming(ushort _shortAddr);

    // A run that starts at _now (the search time counts from there).
    void startUpdate(const QDateTime& _now = QDateTime::currentDateTimeUtc());
    void abortUpdate();
    void stopUpdate();
    void clear();

    int getSpecialCount(eCountType_t _type) const;
    // getSpecialCount(_type) > 0, without walking further than the first such device.
    bool hasAny(eCountType_t _type) const;
    bool isMinTimeElapsed() const;
    bool isMinTimeElapsed(const QDateTime& _now) const;
    int progressPerMille() const;
    int remainingSeconds() const;
    QString progressText() const;
    QString deviceCountText() const;
    QString deviceCountText(const QDateTime& _now) const;
    QDateTime startTime() const { return m_startTime; }

    // One supervision step at _now: client timeouts, the end of a run.
    void supervise(const QDateTime& _now);

    static quint64 sortKey(ushort _shortAddr, ushort _devType);

signals:
    void deviceDataRepaint();
    // A device stayed silent longer than its client state allows; the OTA
    // server takes it off its update list.
    void deviceTimedOut(ushort _shortAddr);

public slots:
    void timerExpired();
    void updateVersionChanged(quint16 _devType);

private:
    void refreshRowAt(int _row);
    bool takesPart(const ZigBeeDevice* _device) const;
    bool isToUpdate(const ZigBeeDevice* _device) const;
    bool isInRun() const;
    // Whether a device counts for _type (a defined one), its type's file
    // record looked up through _records.
    static bool counts(const ZigBeeDevice* _device, eCountType_t _type, FileRecordCache& _records);

    const FirmwareCatalog& m_catalog;
    RunState& m_runState;
    QList<ZigBeeDevice*> m_list;
    // The rows by short address: requests name their device by address, and
    // a large network must not be searched row by row for every request.
    QHash<ushort, ZigBeeDevice*> m_byAddress;
    QTimer m_timer;
    QDateTime m_startTime;
};
