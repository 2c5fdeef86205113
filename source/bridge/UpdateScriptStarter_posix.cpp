#include "UpdateScriptStarter.h"

#include <QProcess>
#include <QStringList>

#include "common/log.h"

bool UpdateScriptStarter::start(const QString& _scriptPath)
{
    // The shell runs on its own and outlives the tool.
    qint64 pid = 0;
    const bool started = QProcess::startDetached("/bin/sh", QStringList{_scriptPath}, QString(), &pid);
    LOG(lcBridge, QString("startDetached %1, pid %2").arg(started ? "true" : "false").arg(pid));
    return started;
}
