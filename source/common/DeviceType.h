#pragma once

#include <QString>

// Device-type codes; a device type is also the OTA image type.
class DeviceType
{
public:
    enum : quint16
    {
        ControlElement = 1,
        WallTransmitter = 2,
        IntermediatePlug = 4,
        UsbStick = 6,
        Tool = 9999,
    };

    // The name in the current language; untranslated (English) for files
    // that other programs read.
    static QString deviceTypeName(quint16 _devType, bool _translated = true);
    static QString articleNumber(quint16 _devType);
};
