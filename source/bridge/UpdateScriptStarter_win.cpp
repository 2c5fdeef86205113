#include "UpdateScriptStarter.h"

#include <QDir>

#include <qt_windows.h>
#include <shellapi.h>

#include "common/log.h"

bool UpdateScriptStarter::start(const QString& _scriptPath)
{
    // The shell runs the ".cmd" with the command interpreter, minimised. The
    // wide call: the update folder lies in the user's profile, whose name
    // need not fit the ANSI code page. Values above 32 mean started.
    const QString nativePath = QDir::toNativeSeparators(_scriptPath);
    const qintptr result = reinterpret_cast<qintptr>(ShellExecuteW(
        nullptr, L"open", reinterpret_cast<LPCWSTR>(nativePath.utf16()), nullptr, nullptr, SW_SHOWMINIMIZED));
    LOG(lcBridge, QString("ShellExecuteW %1").arg(result));
    return result > 32;
}
