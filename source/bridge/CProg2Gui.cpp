#include "CProg2Gui.h"

#include <QSettings>

#include "common/log.h"
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

CProg2Gui::~CProg2Gui() = default;

void CProg2Gui::init()
{
    theBridge = this;
    initSettings();
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

void CProg2Gui::addToUpdateList(ushort _shortAddr)
{
    m_updateList.append(_shortAddr);
}

bool CProg2Gui::isInUpdateList(ushort _shortAddr) const
{
    return m_updateList.contains(_shortAddr);
}

void CProg2Gui::removeFromUpdateList(ushort _shortAddr)
{
    m_updateList.removeOne(_shortAddr);
}

void CProg2Gui::clearUpdateList()
{
    m_updateList.clear();
}
