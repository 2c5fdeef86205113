#include "DeviceType.h"

#include <QCoreApplication>

// The known texts belong to the firmware file list's translation context.

QString DeviceType::deviceTypeName(quint16 _devType)
{
    switch (_devType) {
    case ControlElement:
        return QCoreApplication::translate("FirmwareUpdateFileModel", "ZLL control element");
    case WallTransmitter:
        return QCoreApplication::translate("FirmwareUpdateFileModel", "ZLL wall-mounted transmitter");
    case IntermediatePlug:
        return QCoreApplication::translate("FirmwareUpdateFileModel", "ZLL intermediate plug");
    case UsbStick:
        return QCoreApplication::translate("FirmwareUpdateFileModel", "USB stick for Lumoran updates");
    case Tool:
        return QCoreApplication::translate("FirmwareUpdateFileModel", "Tool for Lumoran updates");
    default:
        return QString("unknown device %1").arg(_devType);
    }
}

QString DeviceType::articleNumber(quint16 _devType)
{
    switch (_devType) {
    case ControlElement:
        return QCoreApplication::translate("FirmwareUpdateFileModel", "K41z-8xxx");
    case WallTransmitter:
        return QCoreApplication::translate("FirmwareUpdateFileModel", "K41z/01-8xxx");
    case IntermediatePlug:
        return QCoreApplication::translate("FirmwareUpdateFileModel", "K47-8xxx-yyy");
    case UsbStick:
        return QCoreApplication::translate("FirmwareUpdateFileModel", "K49-FW");
    case Tool:
        return QCoreApplication::translate("FirmwareUpdateFileModel", "K49-SW");
    default:
        return QString("unknown device %1").arg(_devType);
    }
}
