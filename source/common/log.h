#pragma once

#include <QLoggingCategory>
#include <QObject>
#include <QString>
#include <QtGlobal>

// Every class logs through the Qt message logger at debug level with the "%s"
// format and a text in the local 8-bit encoding; the context (file, line,
// function) is filled in by QT_MESSAGELOGCONTEXT. Each area logs under a
// category of its own, so that QT_LOGGING_RULES (or a test) can silence one
// area, for example the link's hex dumps with "lumoran.link.debug=false".
Q_DECLARE_LOGGING_CATEGORY(lcApp)     // lumoran.app: start-up
Q_DECLARE_LOGGING_CATEGORY(lcCommon)  // lumoran.common: settings, version records
Q_DECLARE_LOGGING_CATEGORY(lcLink)    // lumoran.link: serial port, frames, stick protocol
Q_DECLARE_LOGGING_CATEGORY(lcOta)     // lumoran.ota: the OTA Upgrade server
Q_DECLARE_LOGGING_CATEGORY(lcDevices) // lumoran.devices: device records and list
Q_DECLARE_LOGGING_CATEGORY(lcContent) // lumoran.content: downloads, file list, index, backup.ini
Q_DECLARE_LOGGING_CATEGORY(lcBridge)  // lumoran.bridge: the window's interface, languages, self-update

#define LOG(category, text) qCDebug(category, "%s", QString(text).toLocal8Bit().constData())

// Connects as QObject::connect does; a connection that fails is logged as
// "connect failed" under category and start-up goes on.
#define CONNECT_OR_LOG(category, ...)                                                                                  \
    do {                                                                                                               \
        if (!QObject::connect(__VA_ARGS__))                                                                            \
            LOG(category, "connect failed");                                                                           \
    } while (false)
