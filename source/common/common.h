#pragma once

#include <climits>

#include <QByteArray>
#include <QString>

// Packed version: major in bits 16..23, minor in 8..15, patch in 0..7.
constexpr quint32 kNoVersion = 0xFFFFFFFFu;

QString formatVersion(quint32 _version);
quint32 parseVersion(const QString& _text);
QString versionPrefixed(const QString& _versionText);
// A picture of the window ("help_hint", from pic/) as a rich-text <img>
// tag ending in _end. Where the pictures are compiled in, the tag names the
// picture of twice the size ("help_hint@2x.png") with the plain picture's
// size, so that it stays sharp on screens of high resolution; elsewhere it
// names the plain picture.
QString pictureHtml(const QString& _name, const QString& _end = ">");
QString versionChangeHtml(const QString& _current, const QString& _colourCurrent, const QString& _update,
                          const QString& _colourUpdate, const QString& _colourTail, const QString& _tail);
QString xmlAttribute(const QString& _line, const QString& _name);
QString byteArrayToHex(const QByteArray& _data, int _maxBytes = INT_MAX);
// _value in lower-case hexadecimal, at least _digits wide, padded with zeros
// ("1a2b"), as log lines and the window write addresses.
QString hexDigits(quint32 _value, int _digits);
// "true" or "false", for log lines.
QString boolText(bool _value);
