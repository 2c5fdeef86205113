#include "DeviceType.h"

#include <QCoreApplication>

namespace {
// The known texts belong to the firmware file list's translation context.
const DeviceType::Info kTypes[] = {
    {DeviceType::ControlElement, QT_TRANSLATE_NOOP("FirmwareUpdateFileModel", "ZLL control element"),
     QT_TRANSLATE_NOOP("FirmwareUpdateFileModel", "K41z-8xxx"), false, DeviceType::eKindDevice},
    {DeviceType::WallTransmitter, QT_TRANSLATE_NOOP("FirmwareUpdateFileModel", "ZLL wall-mounted transmitter"),
     QT_TRANSLATE_NOOP("FirmwareUpdateFileModel", "K41z/01-8xxx"), true, DeviceType::eKindDevice},
    {DeviceType::IntermediatePlug, QT_TRANSLATE_NOOP("FirmwareUpdateFileModel", "ZLL intermediate plug"),
     QT_TRANSLATE_NOOP("FirmwareUpdateFileModel", "K47-8xxx-yyy"), false, DeviceType::eKindDevice},
    {DeviceType::UsbStick, QT_TRANSLATE_NOOP("FirmwareUpdateFileModel", "USB stick for Lumoran updates"),
     QT_TRANSLATE_NOOP("FirmwareUpdateFileModel", "K49-FW"), false, DeviceType::eKindStick},
    {DeviceType::Tool, QT_TRANSLATE_NOOP("FirmwareUpdateFileModel", "Tool for Lumoran updates"),
     QT_TRANSLATE_NOOP("FirmwareUpdateFileModel", "K49-SW"), false, DeviceType::eKindTool},
};

QString unknown(quint16 _devType)
{
    return QString("unknown device %1").arg(_devType);
}
} // namespace

const DeviceType::Info* DeviceType::find(quint16 _devType)
{
    for (const Info& info : kTypes) {
        if (info.code == _devType)
            return &info;
    }
    return nullptr;
}

bool DeviceType::isBatteryPowered(quint16 _devType)
{
    const Info* info = find(_devType);
    return info && info->boBatteryPowered;
}

bool DeviceType::isStick(quint16 _devType)
{
    const Info* info = find(_devType);
    return info && info->eKind == eKindStick;
}

bool DeviceType::isTool(quint16 _devType)
{
    const Info* info = find(_devType);
    return info && info->eKind == eKindTool;
}

quint16 DeviceType::codeOf(Kind_t _kind)
{
    for (const Info& info : kTypes) {
        if (info.eKind == _kind)
            return info.code;
    }
    return 0;
}

QString DeviceType::deviceTypeName(quint16 _devType, bool _translated)
{
    const Info* info = find(_devType);
    if (!info)
        return unknown(_devType);
    return _translated ? QCoreApplication::translate("FirmwareUpdateFileModel", info->name)
                       : QString::fromLatin1(info->name);
}

QString DeviceType::articleNumber(quint16 _devType)
{
    const Info* info = find(_devType);
    return info ? QCoreApplication::translate("FirmwareUpdateFileModel", info->articleNumber) : unknown(_devType);
}
