#include "StickInterface.h"

#include "bridge/CProg2Gui.h"

StickInterface::StickInterface(QObject* parent)
    : QObject(parent)
    , m_gui(dynamic_cast<CProg2Gui*>(parent))
{
    init();
}

void StickInterface::init()
{
    m_stickDevType = 0xFFFF;
}

void StickInterface::textChangeSlot(int _txtId)
{
    emit textChanged(_txtId);
    emit stickVersionAvailable();
}

void StickInterface::setStickUpdateInfo(unsigned int _version, QString _fileName)
{
    // The record takes only a newer version; the last announcement is kept
    // as given so it can be applied again when the stick reports a version.
    m_stickFirmware.setUpdateInfo(_version, _fileName);
    m_stickUpdateVersion = _version;
    m_stickUpdateFileName = _fileName;
    textChangeSlot(11);
}
