#include "common.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QImageReader>
#include <QSize>
#include <QStringList>

QString formatVersion(quint32 _version)
{
    if (_version == kNoVersion)
        return QString();
    return QString("%1.%2.%3").arg((_version >> 16) & 0xFF).arg((_version >> 8) & 0xFF).arg(_version & 0xFF);
}

quint32 parseVersion(const QString& _text)
{
    if (_text.isEmpty())
        return kNoVersion;
    const QStringList parts = _text.split('.', Qt::KeepEmptyParts);
    if (parts.size() > 3)
        return 0;
    // One or two parts: the missing leading parts count 0 ("7" is 0.0.7, "1.2" is 0.1.2).
    quint32 result = 0;
    for (const QString& part : parts) {
        bool ok = false;
        const uint value = part.toUInt(&ok, 10);
        result = (result << 8) | (ok ? (value & 0xFF) : 0);
    }
    return result;
}

QString versionPrefixed(const QString& _versionText)
{
    return QCoreApplication::translate("QObject", "V%1", "prefixes the number with version shortcut").arg(_versionText);
}

QString pictureHtml(const QString& _name, const QString& _end)
{
    // Read once per picture: the help is built again on every change.
    static QHash<QString, QSize> s_sizes;
    auto known = s_sizes.find(_name);
    if (known == s_sizes.end()) {
        QSize size = QImageReader(QString(":/pic/%1.png").arg(_name)).size();
        if (!QFile::exists(QString(":/pic/%1@2x.png").arg(_name)))
            size = QSize();
        known = s_sizes.insert(_name, size);
    }
    if (!known->isValid())
        return QString("<img src=\"qrc:/pic/%1.png\"%2").arg(_name, _end);
    return QString("<img src=\"qrc:/pic/%1@2x.png\" width=\"%2\" height=\"%3\"%4")
        .arg(_name)
        .arg(known->width())
        .arg(known->height())
        .arg(_end);
}

QString versionChangeHtml(const QString& _current, const QString& _colourCurrent, const QString& _update,
                          const QString& _colourUpdate, const QString& _colourTail, const QString& _tail)
{
    if (_update.isEmpty())
        return versionPrefixed(_current);
    return QString("<font color=\"%1\">%2</font>%7<font color=\"%3\">%4</font><font color=\"%5\">%6</font>")
        .arg(_colourCurrent, versionPrefixed(_current), _colourUpdate, versionPrefixed(_update), _colourTail, _tail,
             pictureHtml("update_arrow", "/>"));
}

QString xmlAttribute(const QString& _line, const QString& _name)
{
    const QString key = _name + "=\"";
    const int start = _line.indexOf(key);
    if (start < 0)
        return QString();
    const int valueStart = start + key.size();
    const int end = _line.indexOf('"', valueStart);
    if (end < 0)
        return _line.mid(valueStart);
    return _line.mid(valueStart, end - valueStart);
}

QString byteArrayToHex(const QByteArray& _data, int _maxBytes)
{
    static const char digits[] = "0123456789ABCDEF";
    const int size = _data.size();
    const int shown = qMin(size, qMax(_maxBytes, 0));
    QString text;
    text.reserve(shown * 3 + 24);
    for (int i = 0; i < size; ++i) {
        if (i > 0)
            text += QLatin1Char(' ');
        if (i >= _maxBytes) {
            text += QString(".. (%1 bytes)").arg(size - i);
            break;
        }
        const uchar byte = static_cast<uchar>(_data.at(i));
        text += QLatin1Char(digits[byte >> 4]);
        text += QLatin1Char(digits[byte & 0x0F]);
    }
    return text;
}

QString hexDigits(quint32 _value, int _digits)
{
    return QString("%1").arg(_value, _digits, 16, QChar('0'));
}

QString boolText(bool _value)
{
    return _value ? QStringLiteral("true") : QStringLiteral("false");
}
