#pragma once

#include <QByteArray>
#include <QImage>
#include <QVector>

// Builds a Windows icon file that holds one picture per size. Qt's own "ico"
// writer stores a single picture, so every picture is written with it alone and
// the entries are then gathered into one directory. Pictures of 256 pixels are
// stored PNG-compressed, as Windows expects for that size.
class IcoFile
{
public:
    // Returns the file contents, or an empty array when a picture could not be
    // encoded or is larger than 256 pixels.
    static QByteArray build(const QVector<QImage>& _images);

private:
    struct Entry
    {
        QByteArray directoryEntry; // the 16 bytes of the directory, offset not yet set
        QByteArray data;
    };

    static bool encode(const QImage& _image, Entry& _entry);
    static bool encodeSingleIco(const QImage& _image, Entry& _entry);
};
