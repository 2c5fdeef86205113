#include "ZigBeeDevice.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTime>

#include "common/DeviceType.h"
#include "common/log.h"

ZigBeeDevice::ZigBeeDevice(ushort _shortAddr, ushort _devType, uint _version, const FirmwareCatalog* _catalog)
    : shortAddr(_shortAddr)
{
    m_catalog = _catalog;
    m_devType = _devType;
    m_version = _version;
    m_run.versionBefore = _version;
}

int ZigBeeDevice::timeoutOf(eClientState_t _state)
{
    switch (_state) {
    case eClientStateNoImageAvailable:
    case eClientStateNoActivity:
        return 0;
    case eClientStatePrepareUpdate:
        return 120;
    case eClientStateLoadData:
        return 30;
    default:
        return 300;
    }
}

QString ZigBeeDevice::clientStateText(eClientState_t _state)
{
    switch (_state) {
    case eClientStateWaitForUpdateInfo:
        return QCoreApplication::translate("ZigBeeDeviceModel", "waits for update information...");
    case eClientStateNoImageAvailable:
        return QCoreApplication::translate("ZigBeeDeviceModel", "no new image available");
    case eClientStatePrepareUpdate:
        return QCoreApplication::translate("ZigBeeDeviceModel", "prepares update...");
    case eClientStateAbortUpdate:
        return QCoreApplication::translate("ZigBeeDeviceModel", "update canceled");
    case eClientStateNoActivity:
        return QCoreApplication::translate("ZigBeeDeviceModel", "no activity");
    case eClientStateLoadData:
        return QCoreApplication::translate("ZigBeeDeviceModel", "loads data...");
    case eClientStateCheckWriteData:
        return QCoreApplication::translate("ZigBeeDeviceModel", "checks/writes new firmware...");
    default:
        return QCoreApplication::translate("ZigBeeDeviceModel", "unknown");
    }
}

QString ZigBeeDevice::clientStateName(eClientState_t _state)
{
    switch (_state) {
    case eClientStateUnknown:
        return "eClientStateUnknown";
    case eClientStateWaitForUpdateInfo:
        return "eClientStateWaitForUpdateInfo";
    case eClientStateNoImageAvailable:
        return "eClientStateNoImageAvailable";
    case eClientStatePrepareUpdate:
        return "eClientStatePrepareUpdate";
    case eClientStateAbortUpdate:
        return "eClientStateAbortUpdate";
    case eClientStateNoActivity:
        return "eClientStateNoActivity";
    case eClientStateLoadData:
        return "eClientStateLoadData";
    case eClientStateCheckWriteData:
        return "eClientStateCheckWriteData";
    default:
        return QString("wrong ClientState (%1)").arg(uint(_state));
    }
}

void ZigBeeDevice::setClientState(eClientState_t _state)
{
    const int timeout = timeoutOf(_state);
    if (_state == m_clientState) {
        m_timeout = timeout;
        return;
    }
    LOG(lcDevices, QString("dev %1, clientState '%2' (was '%3') timeout %4 at %5")
                       .arg(name(), clientStateText(_state), clientStateText(m_clientState))
                       .arg(timeout)
                       .arg(QTime::currentTime().toString("HH:mm:ss")));
    m_clientState = _state;
    m_timeout = timeout;
}

bool ZigBeeDevice::checkForTimeout(const QDateTime& _now)
{
    if (m_timeout <= 0)
        return false;
    // The clock runs from the last request; a device never heard from has none.
    if (!m_lastActivity.isValid() || !(m_lastActivity.addSecs(m_timeout) < _now))
        return false;

    LOG(lcDevices, QString("timeout %1").arg(hexDigits(shortAddr, 4)));
    setClientState(eClientStateNoActivity);
    return true;
}

void ZigBeeDevice::failTimedOut()
{
    m_updateStart = QDateTime();
    ++m_failCounter;
    m_updateDuration = -1;
    setDone(eResultTimeout);
}

void ZigBeeDevice::setSelected(bool _selected, bool _inRun)
{
    m_selected = _selected;
    LOG(lcDevices, QString("dev %1 selected %2").arg(name()).arg(_selected ? 1 : 0));
    if (!_inRun)
        return;
    if (_selected && m_progress == -1)
        m_progress = 0;
    else if (!_selected && m_progress == 0)
        m_progress = -1;
}

void ZigBeeDevice::setDone(ProgressHelper::_eResult_t _result)
{
    m_result = _result;
    if (_result == eResultSuccess || isFailure(_result))
        m_run.lastResult = QDateTime::currentDateTimeUtc();
    LOG(lcDevices, QString("dev %1 eResult %2").arg(name(), resultName()));
}

QString ZigBeeDevice::extAddressText() const
{
    if (m_extAddr == 0)
        return QString();
    // Shown most significant byte first, as printed on the devices.
    QStringList bytes;
    for (int shift = 56; shift >= 0; shift -= 8)
        bytes.append(QString("%1").arg((m_extAddr >> shift) & 0xFF, 2, 16, QChar('0')).toUpper());
    return bytes.join(':');
}

QString ZigBeeDevice::name() const
{
    return hexDigits(shortAddr, 4);
}

QString ZigBeeDevice::clientStateName() const
{
    return clientStateName(m_clientState);
}

QString ZigBeeDevice::clientStateText() const
{
    if (m_clientState != eClientStateNoActivity)
        return clientStateText(m_clientState);
    return QCoreApplication::translate("ZigBeeDeviceModel", "%1 since %2", "no activity since x")
        .arg(clientStateText(eClientStateNoActivity), timeSinceActivityText());
}

QString ZigBeeDevice::timeSinceActivityText() const
{
    return timeSinceActivityText(QDateTime::currentDateTimeUtc());
}

QString ZigBeeDevice::timeSinceActivityText(const QDateTime& _now) const
{
    const qint64 seconds = qMax<qint64>(0, m_lastActivity.msecsTo(_now) / 1000);
    if (seconds < 60)
        return QCoreApplication::translate("QObject", "%1s", "x seconds").arg(seconds % 60, 2, 10, QChar('0'));
    if (seconds < 3600)
        return QCoreApplication::translate("QObject", "%1min", "x minutes").arg((seconds / 60) % 60);
    return QCoreApplication::translate("QObject", "%1h %2min", "x hours y minutes")
        .arg(seconds / 3600)
        .arg((seconds / 60) % 60);
}

QString ZigBeeDevice::resultName() const
{
    return ProgressHelper::resultName(m_result);
}

bool ZigBeeDevice::isBatteryPowered() const
{
    return DeviceType::isBatteryPowered(m_devType);
}

void ZigBeeDevice::startTiming()
{
    startTiming(QDateTime::currentDateTimeUtc());
}

void ZigBeeDevice::startTiming(const QDateTime& _now)
{
    m_updateStart = _now;
    m_updateDuration = 0;
}

void ZigBeeDevice::stopTiming()
{
    stopTiming(QDateTime::currentDateTimeUtc());
}

void ZigBeeDevice::stopTiming(const QDateTime& _now)
{
    if (m_updateDuration < 0)
        return;
    const qint64 seconds = m_updateStart.secsTo(_now);
    m_updateDuration = (seconds < kMinPlausibleDuration || seconds > kMaxPlausibleDuration) ? -1 : int(seconds);
}

void ZigBeeDevice::resetTiming()
{
    m_updateStart = QDateTime();
    m_updateDuration = -1;
}
