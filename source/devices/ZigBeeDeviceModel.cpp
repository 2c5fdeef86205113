#include "ZigBeeDeviceModel.h"

#include <algorithm>
#include <climits>

#include "common/DeviceType.h"
#include "common/FirmwareCatalog.h"
#include "common/FirmwareUpdate.h"
#include "common/RunState.h"
#include "common/log.h"

namespace {

quint64 sortKeyOf(const ZigBeeDevice* _device)
{
    return ZigBeeDeviceModel::sortKey(_device->shortAddr, _device->m_devType);
}
} // namespace

// The file record of the last device type asked for: the rows are sorted by
// type, so a walk over the list looks each type up about once.
class FileRecordCache
{
public:
    explicit FileRecordCache(const FirmwareCatalog& _catalog) : m_catalog(_catalog) {}

    const FirmwareUpdate* of(quint16 _devType)
    {
        if (!m_valid || _devType != m_devType) {
            m_record = m_catalog.findByDevType(_devType);
            m_devType = _devType;
            m_valid = true;
        }
        return m_record;
    }

private:
    const FirmwareCatalog& m_catalog;
    const FirmwareUpdate* m_record = nullptr;
    quint16 m_devType = 0;
    bool m_valid = false;
};

ZigBeeDeviceModel::ZigBeeDeviceModel(const FirmwareCatalog& _catalog, RunState& _runState, QObject* parent)
    : QAbstractListModel(parent), m_catalog(_catalog), m_runState(_runState)
{
    CONNECT_OR_LOG(lcDevices, &m_timer, &QTimer::timeout, this, &ZigBeeDeviceModel::timerExpired);
    m_timer.setSingleShot(false);
    m_timer.start(kSupervisionIntervalMs);
    m_startTime = QDateTime::currentDateTimeUtc();
}

ZigBeeDeviceModel::~ZigBeeDeviceModel()
{
    qDeleteAll(m_list);
}

quint64 ZigBeeDeviceModel::sortKey(ushort _shortAddr, ushort _devType)
{
    const quint64 group = DeviceType::isBatteryPowered(_devType) ? 0 : (quint64(1) << 32);
    return group + quint64(_devType) * 65536 + _shortAddr;
}

int ZigBeeDeviceModel::rowCount(const QModelIndex& parent) const
{
    // A list: its rows have no children of their own.
    return parent.isValid() ? 0 : m_list.size();
}

QHash<int, QByteArray> ZigBeeDeviceModel::roleNames() const
{
    return {
        {NameRole, "name"}, {DevTypeRole, "devType"},     {VersionRole, "version"},       {ProgressRole, "progress"},
        {DoneRole, "done"}, {HasUpdateRole, "hasUpdate"}, {ExtAddressRole, "extAddress"},
    };
}

QVariant ZigBeeDeviceModel::data(const QModelIndex& index, int role) const
{
    const int row = index.row();
    if (row < 0 || row >= m_list.size()) {
        qCDebug(lcDevices, "%s(%i) %s: role %i, row %i", __FILE__, __LINE__, "ZigBeeDeviceModel::data", role, row);
        return QVariant();
    }
    const ZigBeeDevice* device = m_list.at(row);
    switch (role) {
    case NameRole:
        return device->name();
    case DevTypeRole:
        return QString("<font color=\"black\">%1<br><font color=\"grey\">%2")
            .arg(DeviceType::deviceTypeName(device->m_devType), device->clientStateText());
    case VersionRole: {
        QString text = device->versionHtml("blue", "green");
        const QString result = device->resultText();
        if (!result.isEmpty())
            text += "<br/>" + result;
        return text;
    }
    case ProgressRole:
        return device->m_progress;
    case DoneRole:
        switch (device->m_result) {
        case ProgressHelper::eResultSuccess:
            return QString("qrc:/pic/checkmark.png");
        case ProgressHelper::eResultVerifFail:
        case ProgressHelper::eResultTimeout:
        case ProgressHelper::eResultMissingFile:
        case ProgressHelper::eResultFail:
            // A failure with attempts left is shown lighter than a final one.
            return device->m_failCounter < ProgressHelper::kMaxFailures ? QString("qrc:/pic/error_light.png")
                                                                        : QString("qrc:/pic/error.png");
        default:
            return QString();
        }
    case HasUpdateRole:
        return device->hasUpdate();
    case ExtAddressRole:
        return device->extAddressText();
    default:
        qCDebug(lcDevices, "%s(%i) %s: unknown role (%i), row %i", __FILE__, __LINE__, "ZigBeeDeviceModel::data", role,
                row);
        return QVariant();
    }
}

bool ZigBeeDeviceModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.model() != this || index.row() >= m_list.size()) {
        qCDebug(lcDevices, "%s(%i) %s: invalid index", __FILE__, __LINE__, "ZigBeeDeviceModel::setData");
        return false;
    }
    ZigBeeDevice* device = m_list.at(index.row());
    switch (role) {
    case ProgressRole:
        device->setProgress(value.toInt());
        break;
    case DoneRole:
        device->setDone(ProgressHelper::_eResult_t(value.toInt()));
        break;
    default:
        qCDebug(lcDevices, "%s(%i) %s: unsupported role %i", __FILE__, __LINE__, "ZigBeeDeviceModel::setData", role);
        return false;
    }
    emit dataChanged(index, index);
    return true;
}

void ZigBeeDeviceModel::setProgress(int _row, int _value)
{
    setData(index(_row, 0), _value, ProgressRole);
}

QVariantMap ZigBeeDeviceModel::get(int _row) const
{
    QVariantMap map;
    const QHash<int, QByteArray> roles = roleNames();
    for (auto it = roles.cbegin(); it != roles.cend(); ++it)
        map.insert(QString::fromLatin1(it.value()), data(index(_row, 0), it.key()));
    return map;
}

void ZigBeeDeviceModel::addZigBeeDevice(unsigned short _shortAddr, unsigned short _devType, unsigned int _version,
                                        quint64 _extAddr)
{
    if (ZigBeeDevice* known = findDevice(_shortAddr)) {
        if (known->m_version == _version) {
            LOG(lcDevices, QString("device already known: shortAddr %1, devType %2, version %3")
                               .arg(hexDigits(_shortAddr, 4))
                               .arg(_devType)
                               .arg(hexDigits(_version, 6)));
        } else {
            known->m_version = _version;
            LOG(lcDevices, QString("Version change: device already known: shortAddr %1, devType %2, version %3")
                               .arg(hexDigits(_shortAddr, 4))
                               .arg(_devType)
                               .arg(hexDigits(_version, 6)));
        }
        return;
    }

    // After every row whose key is not greater: the rows are in key order.
    const quint64 key = sortKey(_shortAddr, _devType);
    const auto after = std::upper_bound(m_list.cbegin(), m_list.cend(), key,
                                        [](quint64 _key, const ZigBeeDevice* _row) { return _key < sortKeyOf(_row); });
    const int position = int(after - m_list.cbegin());

    // The row goes straight to its sorted place, so views and persistent
    // indexes follow the rows that move down.
    beginInsertRows(QModelIndex(), position, position);
    auto* device = new ZigBeeDevice(_shortAddr, _devType, _version, &m_catalog);
    device->m_extAddr = _extAddr;
    m_list.insert(position, device);
    m_byAddress.insert(_shortAddr, device);
    LOG(lcDevices, QString("added device: shortAddr %1, devType %2 (%3), version 0x%4, idx %5")
                       .arg(hexDigits(_shortAddr, 4))
                       .arg(_devType)
                       .arg(DeviceType::deviceTypeName(_devType), hexDigits(_version, 6))
                       .arg(position));
    endInsertRows();
    emit deviceDataRepaint();
}

ZigBeeDevice* ZigBeeDeviceModel::findDevice(ushort _shortAddr) const
{
    return m_byAddress.value(_shortAddr, nullptr);
}

int ZigBeeDeviceModel::rowOf(ushort _shortAddr) const
{
    const ZigBeeDevice* device = findDevice(_shortAddr);
    if (!device)
        return -1;
    // A row's address and type never change, so its key finds it.
    const auto it = std::lower_bound(m_list.cbegin(), m_list.cend(), sortKeyOf(device),
                                     [](const ZigBeeDevice* _row, quint64 _key) { return sortKeyOf(_row) < _key; });
    return (it != m_list.cend() && *it == device) ? int(it - m_list.cbegin()) : -1;
}

void ZigBeeDeviceModel::updateActivity(ushort _shortAddr, const QDateTime& _now)
{
    if (ZigBeeDevice* device = findDevice(_shortAddr))
        device->m_lastActivity = _now;
}

void ZigBeeDeviceModel::setClientState(ushort _shortAddr, ZigBeeDevice::eClientState_t _state)
{
    const int row = rowOf(_shortAddr);
    if (row < 0)
        return;
    ZigBeeDevice* device = m_list.at(row);
    const ZigBeeDevice::eClientState_t before = device->m_clientState;
    device->setClientState(_state);
    // The same state again only renews its timeout: the row shows nothing new.
    if (device->m_clientState != before)
        refreshRowAt(row);
}

void ZigBeeDeviceModel::refreshRow(ushort _shortAddr)
{
    const int row = rowOf(_shortAddr);
    if (row >= 0)
        refreshRowAt(row);
}

void ZigBeeDeviceModel::refreshAll()
{
    for (int row = 0; row < m_list.size(); ++row)
        refreshRowAt(row);
}

void ZigBeeDeviceModel::refreshRowAt(int _row)
{
    const QModelIndex changed = index(_row, 0);
    emit dataChanged(changed, changed);
}

void ZigBeeDeviceModel::setDone(int _row, ProgressHelper::_eResult_t _val)
{
    LOG(lcDevices, QString("row %1 val %2").arg(_row).arg(int(_val)));
    setData(index(_row, 0), int(_val), DoneRole);
    emit deviceDataRepaint();
}

void ZigBeeDeviceModel::reportVersion(ushort _shortAddr, quint32 _version)
{
    ZigBeeDevice* device = findDevice(_shortAddr);
    if (!device || device->m_version == _version)
        return;
    LOG(lcDevices, QString("dev %1 reports version 0x%2, was 0x%3")
                       .arg(device->name(), hexDigits(_version, 6), hexDigits(device->m_version, 6)));
    device->m_version = _version;
    if (isInRun() && device->m_run.attempts == 0 && device->m_result == ProgressHelper::eResultUnknown) {
        if (!device->hasUpdate() && device->m_progress == 0)
            device->setProgress(-1);
        else if (device->hasUpdate() && device->m_progress < 0)
            device->setProgress(0);
    }
    refreshRowAt(rowOf(_shortAddr));
    emit deviceDataRepaint();
}

void ZigBeeDeviceModel::verifyUpdate(ushort _shortAddr, quint32 _version, bool _success)
{
    ZigBeeDevice* device = findDevice(_shortAddr);
    if (!device)
        return;
    device->m_version = _version;
    if (_success) {
        setDone(rowOf(_shortAddr), ProgressHelper::eResultSuccess);
        return;
    }
    ++device->m_failCounter;
    setDone(rowOf(_shortAddr), ProgressHelper::eResultVerifFail);
}

void ZigBeeDeviceModel::countFailure(ushort _shortAddr, ProgressHelper::_eResult_t _result)
{
    ZigBeeDevice* device = findDevice(_shortAddr);
    if (!device)
        return;
    ++device->m_failCounter;
    setDone(rowOf(_shortAddr), _result);
}

void ZigBeeDeviceModel::giveUp(ushort _shortAddr, ProgressHelper::_eResult_t _result)
{
    ZigBeeDevice* device = findDevice(_shortAddr);
    if (!device)
        return;
    const int row = rowOf(_shortAddr);
    setProgress(row, 0);
    device->m_failCounter = ProgressHelper::kMaxFailures;
    setDone(row, _result);
}

void ZigBeeDeviceModel::startTransfer(ushort _shortAddr)
{
    const int row = rowOf(_shortAddr);
    if (row < 0)
        return;
    setProgress(row, 0);
    setDone(row, ProgressHelper::eResultStart);
    ZigBeeDevice::RunRecord& run = m_list.at(row)->m_run;
    ++run.attempts;
    if (!run.firstOffer.isValid())
        run.firstOffer = QDateTime::currentDateTimeUtc();
}

int ZigBeeDeviceModel::recordBlock(ushort _shortAddr, int _perMille, bool _first, bool _last)
{
    ZigBeeDevice* device = findDevice(_shortAddr);
    if (!device)
        return -1;
    setProgress(rowOf(_shortAddr), _perMille);
    if (device->m_result == ProgressHelper::eResultStart && _first) {
        device->startTiming();
        device->m_run.transferStart = device->m_updateStart;
        device->m_run.transferEnd = QDateTime();
    }
    device->setDone(ProgressHelper::eResultTransfer);
    if (!_last)
        return -1;
    device->m_run.transferEnd = QDateTime::currentDateTimeUtc();
    device->stopTiming();
    return device->m_updateDuration;
}

void ZigBeeDeviceModel::resetTiming(ushort _shortAddr)
{
    if (ZigBeeDevice* device = findDevice(_shortAddr))
        device->resetTiming();
}

void ZigBeeDeviceModel::startUpdate(const QDateTime& _now)
{
    for (int row = 0; row < m_list.size(); ++row) {
        ZigBeeDevice* device = m_list.at(row);
        device->m_run = ZigBeeDevice::RunRecord();
        device->m_run.versionBefore = device->m_version;
        if (device->hasUpdate()) {
            device->setProgress(0);
            device->m_failCounter = 0;
        } else {
            device->setProgress(-1);
        }
        device->setDone(ProgressHelper::eResultUnknown);
        refreshRowAt(row);
    }
    m_startTime = _now;
    emit deviceDataRepaint();
}

void ZigBeeDeviceModel::abortUpdate()
{
    LOG(lcDevices, "abort update");
    for (int row = 0; row < m_list.size(); ++row) {
        ZigBeeDevice* device = m_list.at(row);
        if (device->m_progress != -1 || device->m_failCounter != 0) {
            device->setProgress(-1);
            device->m_failCounter = 0;
            refreshRowAt(row);
        }
    }
}

void ZigBeeDeviceModel::stopUpdate()
{
    m_runState.end(RunState::eEndDone);
}

void ZigBeeDeviceModel::failTimedOut(ushort _shortAddr)
{
    const int row = rowOf(_shortAddr);
    if (row < 0)
        return;
    m_list.at(row)->failTimedOut();
    refreshRowAt(row);
}

void ZigBeeDeviceModel::clear()
{
    if (m_list.isEmpty())
        return;
    beginRemoveRows(QModelIndex(), 0, m_list.size() - 1);
    m_byAddress.clear();
    qDeleteAll(m_list);
    m_list.clear();
    endRemoveRows();
}

bool ZigBeeDeviceModel::isToUpdate(const ZigBeeDevice* _device) const
{
    return _device->hasUpdate() && _device->m_failCounter < ProgressHelper::kMaxFailures;
}

bool ZigBeeDeviceModel::takesPart(const ZigBeeDevice* _device) const
{
    return _device->m_progress >= 0 && _device->m_failCounter < ProgressHelper::kMaxFailures;
}

bool ZigBeeDeviceModel::isInRun() const
{
    return m_runState.is(SystemServices::SysStateDeviceUpdate);
}

bool ZigBeeDeviceModel::counts(const ZigBeeDevice* _device, eCountType_t _type, FileRecordCache& _records)
{
    // The cheap conditions first; the file record only when they hold.
    const bool failedOut = _device->m_failCounter >= ProgressHelper::kMaxFailures;
    switch (_type) {
    case eCountTypeUpdatable:
        return _device->hasUpdateFrom(_records.of(_device->m_devType));
    case eCountTypeToUpdate:
        return !failedOut && _device->hasUpdateFrom(_records.of(_device->m_devType));
    case eCountTypeWallTransmitterAwake:
        return !failedOut && _device->isBatteryPowered() &&
               _device->m_clientState != ZigBeeDevice::eClientStateNoActivity &&
               _device->hasUpdateFrom(_records.of(_device->m_devType));
    }
    return false;
}

int ZigBeeDeviceModel::getSpecialCount(eCountType_t _type) const
{
    switch (_type) {
    case eCountTypeUpdatable:
    case eCountTypeToUpdate:
    case eCountTypeWallTransmitterAwake:
        break;
    default:
        for (int row = 0; row < m_list.size(); ++row)
            LOG(lcDevices, QString("wrong count type %1").arg(int(_type)));
        return 0;
    }
    FileRecordCache records(m_catalog);
    int count = 0;
    for (const ZigBeeDevice* device : m_list)
        count += counts(device, _type, records) ? 1 : 0;
    return count;
}

bool ZigBeeDeviceModel::hasAny(eCountType_t _type) const
{
    switch (_type) {
    case eCountTypeUpdatable:
    case eCountTypeToUpdate:
    case eCountTypeWallTransmitterAwake:
        break;
    default:
        return getSpecialCount(_type) > 0; // logs the wrong type as the count does
    }
    FileRecordCache records(m_catalog);
    for (const ZigBeeDevice* device : m_list) {
        if (counts(device, _type, records))
            return true;
    }
    return false;
}

bool ZigBeeDeviceModel::isMinTimeElapsed() const
{
    return isMinTimeElapsed(QDateTime::currentDateTimeUtc());
}

bool ZigBeeDeviceModel::isMinTimeElapsed(const QDateTime& _now) const
{
    return m_startTime.secsTo(_now) >= kMinSearchSeconds;
}

int ZigBeeDeviceModel::progressPerMille() const
{
    qint64 count = 0;
    qint64 sum = 0;
    for (const ZigBeeDevice* device : m_list) {
        if (takesPart(device)) {
            ++count;
            sum += device->m_progress;
        }
    }
    if (count == 0)
        return 0;
    // The mean, rounded up.
    return int((sum * 1000 + 1000 * count - 1) / (1000 * count));
}

int ZigBeeDeviceModel::remainingSeconds() const
{
    FileRecordCache records(m_catalog);
    qint64 seconds = 0;
    for (const ZigBeeDevice* device : m_list) {
        const FirmwareUpdate* record = records.of(device->m_devType);
        if (!record || !takesPart(device))
            continue;
        if (!device->isDone())
            seconds += (qint64(1000 - device->m_progress) * record->m_duration) / 1000;
        // A device that has not started yet also needs its start-up time.
        if (device->m_progress == 0)
            seconds += 120;
    }
    return int(qBound<qint64>(INT_MIN, seconds, INT_MAX));
}

QString ZigBeeDeviceModel::progressText() const
{
    const int remaining = remainingSeconds();
    QString remainingText;
    if (remaining < 60) {
        remainingText = tr("less than 1min");
    } else {
        const qint64 rounded = qint64(remaining) + 30;
        if (rounded < 3600)
            remainingText = tr("%1min", "remaining time").arg(rounded / 60);
        else
            remainingText = tr("%1h %2min", "remaining time").arg(rounded / 3600).arg((rounded / 60) % 60);
    }

    int doneCount = 0;
    int allCount = 0;
    for (const ZigBeeDevice* device : m_list) {
        if (!takesPart(device))
            continue;
        ++allCount;
        if (device->m_result >= ProgressHelper::eResultTransfer)
            ++doneCount;
    }
    return tr("%1 of %2  -  remaining %3  - %4%", "params: DoneCount AllCount remainingTime percent")
        .arg(QString::number(doneCount), QString::number(allCount), remainingText,
             QString::number(progressPerMille() / 10));
}

QString ZigBeeDeviceModel::deviceCountText() const
{
    return deviceCountText(QDateTime::currentDateTimeUtc());
}

QString ZigBeeDeviceModel::deviceCountText(const QDateTime& _now) const
{
    const int count = m_list.size();
    const qint64 elapsed = m_startTime.secsTo(_now);
    if (isInRun() && elapsed < kMinSearchSeconds) {
        // Remaining minutes of the search, rounded up.
        const qint64 minutes = (kMinSearchSeconds + 59 - elapsed) / 60;
        if (count > 0)
            return tr("%1 devices found - searching %2min", "N devices found; N >= 1 - min time", count)
                .arg(count)
                .arg(minutes);
        return tr("No devices found - searching %1min", "no devices - min time").arg(minutes);
    }
    if (count > 0)
        return tr("%1 devices found", "N devices found; N >= 1", count).arg(count);
    return tr("No devices found", "no devices");
}

void ZigBeeDeviceModel::timerExpired()
{
    supervise(QDateTime::currentDateTimeUtc());
}

void ZigBeeDeviceModel::supervise(const QDateTime& _now)
{
    // The end-of-run check is made after each row's timeout check. The count
    // it needs is taken once and then kept up to date: a timeout can only
    // take a device out of the count.
    int toUpdate = -1;
    for (int row = 0; row < m_list.size(); ++row) {
        ZigBeeDevice* device = m_list.at(row);
        const bool wasToUpdate = toUpdate >= 0 && isToUpdate(device);
        if (device->checkForTimeout(_now))
            emit deviceTimedOut(device->shortAddr);
        if (wasToUpdate && !isToUpdate(device))
            --toUpdate;

        if (isInRun() && isMinTimeElapsed(_now)) {
            if (toUpdate < 0)
                toUpdate = getSpecialCount(eCountTypeToUpdate);
            if (toUpdate == 0) {
                LOG(lcDevices, "update stop");
                stopUpdate();
            }
        }

        // Keeps the "since" time of an inactive device counting on screen.
        if (device->m_clientState == ZigBeeDevice::eClientStateNoActivity)
            refreshRowAt(row);
    }
}

void ZigBeeDeviceModel::updateVersionChanged(quint16 _devType)
{
    LOG(lcDevices, QString("devType %1").arg(_devType));
    for (int row = 0; row < m_list.size(); ++row) {
        if (m_list.at(row)->m_devType == _devType)
            refreshRowAt(row);
    }
    emit deviceDataRepaint();
}
