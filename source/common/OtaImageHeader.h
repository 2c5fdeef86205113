#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// The ZCL OTA upgrade file header at the start of a firmware file, read from
// untrusted bytes. A file that begins with the OTA file identifier claims to
// be one device type's image in one version, and must be exactly the image it
// is offered as; a file without the identifier makes no such claim and is not
// judged here.
class OtaImageHeader
{
public:
    static constexpr quint32 kFileIdentifier = 0x0BEEF11E;
    static constexpr quint16 kManufacturerCode = 0x1C3D;
    // The mandatory fields, up to and including the total image size; a
    // header with optional fields is longer.
    static constexpr int kMandatoryLength = 56;

    enum Check_t
    {
        eCheckNoIdentifier, // not an OTA upgrade file: nothing to hold against its row
        eCheckMatches,
        eCheckWrong,
    };

    // Whether the file beginning with _head (at least kMandatoryLength bytes of
    // it, when the file has that many) and _fileSize bytes long is the image
    // of _devType in _version from this tool's manufacturer: identifier,
    // manufacturer code, image type, file version, total image size equal to
    // the file size, and a header length that fits the file. _why, when
    // given, says what disagrees.
    static Check_t check(const QByteArray& _head, qint64 _fileSize, quint16 _devType, quint32 _version,
                         QString* _why = nullptr);
    // The same for a file held whole in memory.
    static Check_t check(const QByteArray& _bytes, quint16 _devType, quint32 _version, QString* _why = nullptr)
    {
        return check(_bytes, _bytes.size(), _devType, _version, _why);
    }
};
