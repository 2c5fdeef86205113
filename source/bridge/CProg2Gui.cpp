#include "CProg2Gui.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include "common/DeviceType.h"
#include "common/log.h"
#include "common/settings.h"
#include "content/FirmwareUpdateFileModel.h"
#include "devices/ZigBeeDeviceModel.h"
#include "content/backupIni.h"
#include "link/CSerialPortHandler.h"
#include "link/StickInterface.h"
#include "version.h"

CProg2Gui* theBridge = nullptr;

CProg2Gui::CProg2Gui(QObject* parent)
    : QObject(parent)
{
    theBridge = this;
    init();
    m_SysState = SysStateIdle;
    emitRepaintSet();
}

CProg2Gui::~CProg2Gui()
{
    // Children go with the bridge; nothing may reach them through the
    // process-wide pointers afterwards.
    if (theBridge == this)
        theBridge = nullptr;
}

void CProg2Gui::init()
{
    theBridge = this;

    firmwareUpdateFileModel = new FirmwareUpdateFileModel(this);
    theFileModel = firmwareUpdateFileModel;
    if (!connect(firmwareUpdateFileModel, &FirmwareUpdateFileModel::selectionChanged, this,
                 &CProg2Gui::firmwareDataRepaint))
        LOG("connect failed");
    // The tool itself is a row of the firmware list.
    firmwareUpdateFileModel->addFirmwareFile(9999, LUMORAN_VERSION_TEXT, QString(), 0);
    m_ApplVersion.setVersion(parseVersion(LUMORAN_VERSION_TEXT));

    initSettings();
    preProcessBackupIni();
    processProductionIni();

    // The device list exists before the stick interface, which feeds it.
    zigBeeDeviceModel = new ZigBeeDeviceModel(this);
    if (!connect(zigBeeDeviceModel, &ZigBeeDeviceModel::deviceDataRepaint, this, &CProg2Gui::deviceDataRepaint))
        LOG("connect failed");
    if (!connect(firmwareUpdateFileModel, &FirmwareUpdateFileModel::versionChanged, zigBeeDeviceModel,
                 &ZigBeeDeviceModel::updateVersionChanged))
        LOG("connect failed");

    m_StickInterface = new StickInterface(this);

    loadBackupIni();
}

void CProg2Gui::initSettings()
{
    QSettings* settings = getSettings();
    if (!settings)
        return;
    // Pinned serial ports: empty means "search every enumerated port". An empty
    // list is written as an empty value, which users can fill in by hand.
    const QStringList ports = CSerialPortHandler::pinnedPorts();
    settings->setValue("serial/ports", ports.isEmpty() ? QVariant(QString()) : QVariant(ports));
    initBackupIni();
    settings->sync();
}

void CProg2Gui::initBackupIni()
{
    const QString updatePath = getUpdatePath();
    if (!QDir().mkpath(updatePath)) {
        LOG(QString("can not create backup path '%1'").arg(updatePath));
        return;
    }
    QSettings backup(backupIniPath(), QSettings::IniFormat);
    backup.setValue("devices/known_devices", readKnownDevices(backup));
    backup.setValue("devices/keep_old", backup.value("devices/keep_old", false).toBool());
    backup.sync();
}

void CProg2Gui::setApplUpdateInfo(unsigned int _version, QString _fileName)
{
    m_ApplVersion.setUpdateInfo(_version, _fileName);
}

void CProg2Gui::preProcessBackupIni()
{
    QSettings backup(backupIniPath(), QSettings::IniFormat);
    const QStringList groups = readKnownDevices(backup);
    for (const QString& group : groups) {
        const QString file = backup.value(group + "/file").toString();
        if (!file.isEmpty() && QFileInfo(getUpdatePath() + "/" + file).isFile())
            continue;
        if (file.isEmpty() && !backup.contains(group + "/ver"))
            continue; // pruned before
        LOG(QString("missing file: '%1'").arg(file));
        // The group stays known with its id and measured duration.
        backup.remove(group + "/ver");
        backup.remove(group + "/file");
    }
    backup.sync();
}

void CProg2Gui::processProductionIni()
{
    const QString productionDir =
        (applDirPath.isEmpty() ? QCoreApplication::applicationDirPath() : applDirPath) + "/device";
    QSettings production(productionDir + "/production.ini", QSettings::IniFormat);
    QSettings backup(backupIniPath(), QSettings::IniFormat);
    QStringList backupGroups = readKnownDevices(backup);
    const bool keepOld = backup.value("devices/keep_old", false).toBool();

    for (const QString& group : readKnownDevices(production)) {
        const quint16 devType = static_cast<quint16>(production.value(group + "/id").toUInt());
        QString version = production.value(group + "/ver").toString();
        const QString file = production.value(group + "/file").toString();
        const int duration = production.value(group + "/duration").toInt();

        if (devType == DeviceType::UsbStick && m_StickInterface) {
            m_StickInterface->setStickDevType(DeviceType::UsbStick);
            m_StickInterface->setStickUpdateInfo(parseVersion(version), file);
        }
        if (devType == DeviceType::Tool)
            version = LUMORAN_VERSION_TEXT;
        firmwareUpdateFileModel->addFirmwareFile(devType, version, file, duration);
        if (file.isEmpty())
            continue;

        // The first backup group of this type decides, even when its version is empty.
        bool found = false;
        bool older = false;
        for (const QString& backupGroup : backupGroups) {
            if (backup.value(backupGroup + "/id").toUInt() != devType)
                continue;
            const QString backupVersion = backup.value(backupGroup + "/ver").toString();
            if (!backupVersion.isEmpty()) {
                found = true;
                older = parseVersion(backupVersion) < parseVersion(version);
            }
            break;
        }
        if (found && !older)
            continue;

        if (!copyFirmwareFile(productionDir, getUpdatePath(), file, backup.value(group + "/file").toString(),
                              keepOld))
            continue;
        // A shipped file that is missing is not recorded as held.
        if (!QFileInfo(getUpdatePath() + "/" + file).isFile()) {
            LOG(QString("missing file: '%1'").arg(file));
            continue;
        }
        backup.setValue(group + "/id", devType);
        backup.setValue(group + "/ver", version);
        backup.setValue(group + "/file", file);
        if (!found)
            backup.setValue(group + "/duration", duration);
        const QString typeName = QString::number(devType);
        if (!backupGroups.contains(typeName)) {
            backupGroups.append(typeName);
            backup.setValue("devices/known_devices", backupGroups);
        }
    }
    backup.sync();
}

bool CProg2Gui::copyFirmwareFile(const QString& _sourceDir, const QString& _targetDir, const QString& _file,
                                 const QString& _oldFile, bool _keepOld)
{
    const QString source = QString("%1/%2").arg(_sourceDir, _file);
    const QString target = QString("%1/%2").arg(_targetDir, _file);
    if (!QFile::exists(source) || QFile::exists(target))
        return true;
    if (!QFile::copy(source, target))
        return false;
    if (!_keepOld && !_oldFile.isEmpty()) {
        const QString old = QString("%1/%2").arg(_targetDir, _oldFile);
        if (QFile::exists(old))
            QFile::remove(old);
    }
    return true;
}

void CProg2Gui::loadBackupIni()
{
    QSettings backup(backupIniPath(), QSettings::IniFormat);
    for (const QString& group : readKnownDevices(backup)) {
        const quint16 devType = static_cast<quint16>(backup.value(group + "/id").toUInt());
        const QString version = backup.value(group + "/ver").toString();
        const QString file = backup.value(group + "/file").toString();
        const int duration = backup.value(group + "/duration", 0).toInt();
        if (devType == DeviceType::UsbStick && m_StickInterface) {
            m_StickInterface->setStickDevType(DeviceType::UsbStick);
            m_StickInterface->setStickUpdateInfo(parseVersion(version), file);
        }
        if (devType == DeviceType::Tool && parseVersion(version) != kNoVersion &&
            parseVersion(version) > m_ApplVersion.m_version)
            m_ApplVersion.setUpdateInfo(parseVersion(version), file);
        firmwareUpdateFileModel->setKnownFile(devType, version, file, duration);
    }
}

void CProg2Gui::emitRepaintSet()
{
    emit applDataRepaint();
    emit stickDataRepaint();
    emit firmwareDataRepaint();
    emit deviceDataRepaint();
}

void CProg2Gui::setSysState(SysState_t _SysState)
{
    m_SysState = _SysState;
    emitRepaintSet();
}

// The update list itself is held by the stick interface.
const QList<ushort>& CProg2Gui::updateList() const
{
    return m_StickInterface->updateList();
}

void CProg2Gui::addToUpdateList(ushort _shortAddr)
{
    m_StickInterface->updateList().append(_shortAddr);
}

bool CProg2Gui::isInUpdateList(ushort _shortAddr) const
{
    return m_StickInterface->updateList().contains(_shortAddr);
}

void CProg2Gui::removeFromUpdateList(ushort _shortAddr)
{
    m_StickInterface->updateList().removeOne(_shortAddr);
}

void CProg2Gui::clearUpdateList()
{
    m_StickInterface->updateList().clear();
}
