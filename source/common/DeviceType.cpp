#include "DeviceType.h"

#include <QCoreApplication>

// The known texts belong to the firmware file list's translation context.

QString DeviceType::deviceTypeName(quint16 _devType, bool _translated)
{
    const char* name = nullptr;
    switch (_devType) {
    case ControlElement:
        name = QT_TRANSLATE_NOOP("FirmwareUpdateFileModel", "ZLL control element");
        break;
    case WallTransmitter:
        name = QT_TRANSLATE_NOOP("FirmwareUpdateFileModel", "ZLL wall-mounted transmitter");
        break;
    case IntermediatePlug:
        name = QT_TRANSLATE_NOOP("FirmwareUpdateFileModel", "ZLL intermediate plug");
        break;
    case UsbStick:
        name = QT_TRANSLATE_NOOP("FirmwareUpdateFileModel", "USB stick for Lumoran updates");
        break;
    case Tool:
        name = QT_TRANSLATE_NOOP("FirmwareUpdateFileModel", "Tool for Lumoran updates");
        break;
    default:
        return QString("unknown device %1").arg(_devType);
    }
    return _translated ? QCoreApplication::translate("FirmwareUpdateFileModel", name) : QString::fromLatin1(name);
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
