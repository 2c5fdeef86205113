#include "IcoFile.h"

#include <QBuffer>
#include <QDataStream>
#include <QImageWriter>
#include <QtEndian>

namespace {
constexpr int kHeaderSize = 6;
constexpr int kEntrySize = 16;
constexpr int kEntrySizeField = 8;    // byte count of the picture's data
constexpr int kEntryOffsetField = 12; // where the picture's data starts in the file
} // namespace

QByteArray IcoFile::build(const QVector<QImage>& _images)
{
    if (_images.isEmpty() || _images.size() > 0xFFFF)
        return QByteArray();

    QVector<Entry> entries;
    for (const QImage& image : _images) {
        Entry entry;
        if (!encode(image, entry))
            return QByteArray();
        entries.append(entry);
    }

    QByteArray file;
    QDataStream out(&file, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0) << quint16(1) << quint16(entries.size());

    quint32 offset = kHeaderSize + kEntrySize * entries.size();
    for (Entry& entry : entries) {
        qToLittleEndian<quint32>(quint32(entry.data.size()), entry.directoryEntry.data() + kEntrySizeField);
        qToLittleEndian<quint32>(offset, entry.directoryEntry.data() + kEntryOffsetField);
        file.append(entry.directoryEntry);
        offset += quint32(entry.data.size());
    }
    for (const Entry& entry : entries)
        file.append(entry.data);
    return file;
}

bool IcoFile::encode(const QImage& _image, Entry& _entry)
{
    if (_image.isNull() || _image.width() > 256 || _image.height() > 256)
        return false;
    if (_image.width() < 256 && _image.height() < 256)
        return encodeSingleIco(_image, _entry);

    QBuffer png(&_entry.data);
    png.open(QIODevice::WriteOnly);
    if (!_image.save(&png, "PNG"))
        return false;
    _entry.directoryEntry = QByteArray(kEntrySize, '\0');
    char* e = _entry.directoryEntry.data();
    // A width or height of 256 is written as 0.
    e[0] = char(_image.width() & 0xFF);
    e[1] = char(_image.height() & 0xFF);
    qToLittleEndian<quint16>(1, e + 4);  // colour planes
    qToLittleEndian<quint16>(32, e + 6); // bits per pixel
    return true;
}

bool IcoFile::encodeSingleIco(const QImage& _image, Entry& _entry)
{
    QByteArray single;
    QBuffer buffer(&single);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "ico");
    if (!writer.write(_image.convertToFormat(QImage::Format_ARGB32)))
        return false;

    // Qt writes a header, one directory entry and the picture's data.
    if (single.size() < kHeaderSize + kEntrySize)
        return false;
    const uchar* raw = reinterpret_cast<const uchar*>(single.constData());
    if (qFromLittleEndian<quint16>(raw + 2) != 1 || qFromLittleEndian<quint16>(raw + 4) != 1)
        return false;
    const quint32 size = qFromLittleEndian<quint32>(raw + kHeaderSize + kEntrySizeField);
    const quint32 offset = qFromLittleEndian<quint32>(raw + kHeaderSize + kEntryOffsetField);
    if (offset > quint32(single.size()) || size > quint32(single.size()) - offset)
        return false;

    _entry.directoryEntry = single.mid(kHeaderSize, kEntrySize);
    _entry.data = single.mid(int(offset), int(size));
    return true;
}
