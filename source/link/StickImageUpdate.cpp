#include "StickImageUpdate.h"

#include "common/DeviceType.h"
#include "common/FirmwareCatalog.h"
#include "common/RunState.h"
#include "common/log.h"

StickImageUpdate::StickImageUpdate(const FirmwareCatalog& _catalog, RunState& _runState,
                                   QHash<ushort, RunPolicy::Offer>& _offers, QObject* parent)
    : QObject(parent), m_catalog(_catalog), m_runState(_runState), m_offers(_offers)
{
    m_watchdog.setSingleShot(true);
    m_watchdog.setInterval(kSilenceLimitMs);
    CONNECT_OR_LOG(lcOta, &m_watchdog, &QTimer::timeout, this,
                   [this] { fail(QString("no word from the stick for %1 s").arg(kSilenceLimitMs / 1000)); });
}

void StickImageUpdate::setState(int _state)
{
    if (m_eState == _state)
        return;
    m_eState = _state;
    emit stickVersionAvailable();
}

void StickImageUpdate::start()
{
    if (!m_runState.beginStickUpdate())
        return;
    m_firmware.setProgress(0);
    m_claim = -1;
    m_offers.remove(m_shortAddr);
    setState(eStickUpdateStateTransfer);
    m_watchdog.start();
}

void StickImageUpdate::abort()
{
    if (m_runState.state() != SystemServices::SysStateStickUpdate)
        return;
    LOG(lcOta, "stick update cancelled");
    m_firmware.setProgress(-1);
    end(eStickUpdateStateIdle);
}

void StickImageUpdate::fail(const QString& _why)
{
    if (m_runState.state() != SystemServices::SysStateStickUpdate)
        return;
    LOG(lcOta, QString("stick update failed: %1").arg(_why));
    end(eStickUpdateStateFail);
}

void StickImageUpdate::end(int _state)
{
    m_watchdog.stop();
    if (m_claim >= 0)
        m_offers.remove(ushort(m_claim));
    m_offers.remove(m_shortAddr);
    m_claim = -1;
    setState(_state);
    emit stickVersionAvailable();
    m_runState.end(_state == eStickUpdateStateFail   ? RunState::eEndFailed
                   : _state == eStickUpdateStateIdle ? RunState::eEndCancelled
                                                     : RunState::eEndDone);
    emit helpUpdateRequired();
}

void StickImageUpdate::setUpdateInfo(unsigned int _version, QString _fileName)
{
    // The record takes only a newer version; the last announcement is kept
    // as given so it can be applied again when the stick reports a version.
    m_firmware.setUpdateInfo(_version, _fileName);
    m_updateVersion = _version;
    m_updateFileName = _fileName;
    emit stickTextChanged();
    emit stickVersionAvailable();
}

bool StickImageUpdate::isUpdateAvailable() const
{
    return !m_firmware.versionString().isEmpty() && m_firmware.hasUpdate();
}

void StickImageUpdate::stickConnected(bool _stickUpdateRunning)
{
    if (m_eState == eStickUpdateStateUnknown)
        setState(_stickUpdateRunning ? eStickUpdateStateFail : eStickUpdateStateIdle);
}

void StickImageUpdate::linkUp(bool _stickUpdateRunning)
{
    if (!_stickUpdateRunning && m_eState != eStickUpdateStateIdle) {
        m_eState = eStickUpdateStateIdle;
        emit stickVersionAvailable();
    }
}

void StickImageUpdate::setNetwork(bool _joined, quint16 _shortAddr)
{
    m_joined = _joined;
    m_shortAddr = _shortAddr;
}

void StickImageUpdate::heard()
{
    if (m_watchdog.isActive())
        m_watchdog.start();
}

bool StickImageUpdate::isStickAddress(ushort _address)
{
    if (m_joined)
        return _address == m_shortAddr;
    // In no network only the stick itself can send; during a stick update the
    // first address to ask keeps it.
    if (m_runState.state() != SystemServices::SysStateStickUpdate)
        return true;
    if (m_claim < 0)
        m_claim = _address;
    return _address == m_claim;
}

const FirmwareUpdate* StickImageUpdate::query(quint32 _version)
{
    heard();
    m_firmware.setVersion(_version);
    m_firmware.setUpdateInfo(m_updateVersion, m_updateFileName);
    emit stickTextChanged();
    emit stickVersionAvailable();

    const FirmwareUpdate* record = m_catalog.findByDevType(DeviceType::UsbStick);
    const bool recordNewer = record && record->m_version != kNoVersion && record->m_version > _version;
    const RunPolicy::StickQueryDecision decision =
        RunPolicy::decideStickQuery(m_eState, record != nullptr, recordNewer, m_firmware.hasUpdate());
    if (decision.offer)
        return record;
    if (decision.updateOver) {
        LOG(lcOta, QString("QueryNextImageRequest %1: Stick: currentFirmwareVersion %2, updateVersion %3, "
                           "boHasUpdate %4")
                       .arg(m_eState == eStickUpdateStateWait ? "eStickUpdateStateWait" : "nothing newer to offer",
                            versionPrefixed(formatVersion(_version)), m_firmware.updateVersionString(),
                            boolText(m_firmware.hasUpdate())));
        // The stick update is over: the help box moves on from "wait".
        end(decision.newState);
    } else {
        setState(decision.newState);
    }
    return nullptr;
}

void StickImageUpdate::setProgress(int _perMille)
{
    m_firmware.setProgress(_perMille);
    emit stickVersionAvailable();
}

void StickImageUpdate::upgradeEnd(ushort _address, quint8 _status)
{
    heard();
    m_offers.remove(_address);
    if (_status != 0) {
        fail(QString("the stick ended its transfer with status %1").arg(hexDigits(_status, 2)));
        return;
    }
    LOG(lcOta, "STICK - END");
    setState(eStickUpdateStateWait);
    emit stickVersionAvailable();
}
