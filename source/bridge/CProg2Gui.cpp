#include "CProg2Gui.h"

#include <QSettings>

#include "common/log.h"
#include "content/FirmwareUpdateFileModel.h"
#include "devices/ZigBeeDeviceModel.h"
#include "link/StickInterface.h"
#include "version.h"
#include "common/settings.h"
#include "link/CSerialPortHandler.h"

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
    // The tool itself is a row of the firmware list.
    firmwareUpdateFileModel->addFirmwareFile(9999, LUMORAN_VERSION_TEXT, QString(), 0);
    m_ApplVersion.setVersion(parseVersion(LUMORAN_VERSION_TEXT));

    initSettings();

    // The device list exists before the stick interface, which feeds it.
    zigBeeDeviceModel = new ZigBeeDeviceModel(this);
    if (!connect(zigBeeDeviceModel, &ZigBeeDeviceModel::deviceDataRepaint, this, &CProg2Gui::deviceDataRepaint))
        LOG("connect failed");

    m_StickInterface = new StickInterface(this);
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
    settings->sync();
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
