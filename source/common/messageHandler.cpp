#include "messageHandler.h"

#include <QCoreApplication>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QSettings>
#include <QString>

#include "settings.h"

const char* const kLogMessagePattern = "%{time hh:mm:ss.zzz}  %{file}(%{line}) %{function}: %{message}\n";
const char* const kLogFileOldSuffix = ".1";

void messageHandler(QtMsgType _type, const QMessageLogContext& _context, const QString& _message)
{
    // Qt may deliver messages from its own worker threads.
    static QMutex* logMutex = new QMutex;
    QMutexLocker locker(logMutex);

    QString fileName = QCoreApplication::applicationName() + ".log";
    if (QSettings* settings = getSettings())
        fileName = settings->value("applSettings/logfile", fileName).toString();

    const QString text = qFormatLogMessage(_type, _context, _message);
    if (fileName.isEmpty())
        return;
    const QString path = getTempPath() + "/" + fileName;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    if (file.size() >= kLogFileRollOverSize) {
        file.close();
        const QString old = path + kLogFileOldSuffix;
        QFile::remove(old);
        // Should the rename fail, the file starts afresh rather than growing.
        const QIODevice::OpenMode mode = QFile::rename(path, old) ? QIODevice::Append : QIODevice::Truncate;
        if (!file.open(QIODevice::WriteOnly | mode))
            return;
    }
    file.write(text.toLocal8Bit());
    file.close();
}
