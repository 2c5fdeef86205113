#pragma once

#include <QtGlobal>

class QMessageLogContext;
class QString;

// The message pattern of the log file: two blanks after the time.
extern const char* const kLogMessagePattern;

// A log file that has reached this size is renamed to its name + ".1" (an
// older one there is replaced) before the next message, so that the log of a
// stick sending bad frames for days cannot fill the disk: at most twice this
// size is kept.
constexpr qint64 kLogFileRollOverSize = 10 * 1024 * 1024;
extern const char* const kLogFileOldSuffix;

// Appends every message to the log file in the temp folder; installed by the
// entry point when "applSettings/uselogfile" is true.
void messageHandler(QtMsgType _type, const QMessageLogContext& _context, const QString& _message);
