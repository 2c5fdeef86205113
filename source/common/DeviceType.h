#pragma once

#include <QString>

// The device types the tool knows: one table row each. A device type is
// also the OTA image type and the key of a file-list row, of "backup.ini"
// and "production.ini" groups; the codes are fixed by the devices.
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

    // What a file of the type is for: a device on the network, the radio
    // stick's own firmware, or the tool's own package.
    enum Kind_t
    {
        eKindDevice = 0,
        eKindStick = 1,
        eKindTool = 2,
    };

    struct Info
    {
        quint16 code;
        const char* name;          // in the file list's translation context
        const char* articleNumber; // likewise
        // Sleeps between the user's wake-ups: served first while it is awake.
        bool boBatteryPowered;
        Kind_t eKind;
    };

    // The row of _devType, or null for a type the tool does not know.
    static const Info* find(quint16 _devType);

    static bool isBatteryPowered(quint16 _devType);
    static bool isStick(quint16 _devType);
    static bool isTool(quint16 _devType);
    // The code of the one type of the kind (the stick's or the tool's).
    static quint16 codeOf(Kind_t _kind);

    // The name in the current language; untranslated (English) for files
    // that other programs read.
    static QString deviceTypeName(quint16 _devType, bool _translated = true);
    static QString articleNumber(quint16 _devType);
};
