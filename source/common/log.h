#pragma once

#include <QString>
#include <QtGlobal>

// Every class logs through the Qt message logger at debug level with the "%s"
// format and a text in the local 8-bit encoding; the context (file, line,
// function) is filled in by QT_MESSAGELOGCONTEXT.
#define LOG(text) qDebug("%s", QString(text).toLocal8Bit().constData())
