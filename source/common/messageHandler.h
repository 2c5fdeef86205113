#pragma once

#include <QtGlobal>

class QMessageLogContext;
class QString;

// The message pattern of the log file: two blanks after the time.
extern const char* const kLogMessagePattern;

// Appends every message to the log file in the temp folder; installed by the
// entry point when "applSettings/uselogfile" is true.
void messageHandler(QtMsgType _type, const QMessageLogContext& _context, const QString& _message);
