#include "OtaImageHeader.h"

namespace {
// Field offsets of the ZCL OTA upgrade file header; all little-endian.
constexpr int kIdentifierAt = 0;
constexpr int kHeaderLengthAt = 6;
constexpr int kManufacturerAt = 10;
constexpr int kImageTypeAt = 12;
constexpr int kFileVersionAt = 14;
constexpr int kTotalSizeAt = 52;

// Callers check that _offset + _size lies within _bytes.
quint32 le(const QByteArray& _bytes, int _offset, int _size)
{
    quint32 value = 0;
    for (int i = _size - 1; i >= 0; --i)
        value = (value << 8) | static_cast<uchar>(_bytes.at(_offset + i));
    return value;
}

QString hex(quint32 _value, int _digits)
{
    return QString("0x%1").arg(_value, _digits, 16, QChar('0'));
}

OtaImageHeader::Check_t wrong(QString* _why, const QString& _text)
{
    if (_why)
        *_why = _text;
    return OtaImageHeader::eCheckWrong;
}
} // namespace

OtaImageHeader::Check_t OtaImageHeader::check(const QByteArray& _head, qint64 _fileSize, quint16 _devType,
                                              quint32 _version, QString* _why)
{
    if (_head.size() < 4 || le(_head, kIdentifierAt, 4) != kFileIdentifier)
        return eCheckNoIdentifier;
    if (_head.size() < kMandatoryLength || _fileSize < kMandatoryLength)
        return wrong(_why, QString("OTA header cut off after %1 bytes").arg(qMin<qint64>(_head.size(), _fileSize)));
    const quint32 headerLength = le(_head, kHeaderLengthAt, 2);
    if (headerLength < quint32(kMandatoryLength) || headerLength > _fileSize)
        return wrong(_why, QString("header length %1 in a file of %2 bytes").arg(headerLength).arg(_fileSize));
    const quint32 manufacturer = le(_head, kManufacturerAt, 2);
    if (manufacturer != kManufacturerCode)
        return wrong(_why, QString("manufacturer code %1").arg(hex(manufacturer, 4)));
    const quint32 imageType = le(_head, kImageTypeAt, 2);
    if (imageType != _devType)
        return wrong(_why, QString("image type %1, offered for %2").arg(imageType).arg(_devType));
    const quint32 fileVersion = le(_head, kFileVersionAt, 4);
    if (fileVersion != _version)
        return wrong(_why, QString("file version %1, offered as %2").arg(hex(fileVersion, 8), hex(_version, 8)));
    const quint32 totalSize = le(_head, kTotalSizeAt, 4);
    if (totalSize != _fileSize)
        return wrong(_why, QString("total image size %1 in a file of %2 bytes").arg(totalSize).arg(_fileSize));
    return eCheckMatches;
}
