#include "LogCapture.h"

#include <QtGlobal>

namespace {
QStringList s_lines;
QtMessageHandler s_previous = nullptr;
bool s_quiet = qEnvironmentVariableIsSet("LUMORAN_QUIET_TESTS");

void captureHandler(QtMsgType _type, const QMessageLogContext& _context, const QString& _message)
{
    s_lines.append(_message);
    if (s_previous && !s_quiet)
        s_previous(_type, _context, _message);
}
} // namespace

LogCapture::LogCapture()
{
    s_lines.clear();
    s_previous = qInstallMessageHandler(captureHandler);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(s_previous);
    s_previous = nullptr;
}

const QStringList& LogCapture::lines() const
{
    return s_lines;
}

int LogCapture::count(const QString& _text) const
{
    return s_lines.count(_text);
}

bool LogCapture::contains(const QString& _text) const
{
    for (const QString& line : s_lines) {
        if (line.contains(_text))
            return true;
    }
    return false;
}

void LogCapture::clear()
{
    s_lines.clear();
}
