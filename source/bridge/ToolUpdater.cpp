#include "ToolUpdater.h"

#include <algorithm>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>
#include <QTemporaryDir>

#include "UpdateScriptStarter.h"
#include "common/DeviceType.h"
#include "common/FileVersionInfo.h"
#include "common/log.h"
#include "common/settings.h"
#include "content/BackupIni.h"
#include "content/SignedFile.h"
#include "content/UpdateFolder.h"

namespace {
// The command interpreter's own tools by full path: a folder early in PATH
// (a Unix tool set, say) may hold other programs of the same names.
const char* const kSystemTool = "\"%SystemRoot%\\System32\\%1\"";

QString systemTool(const char* _name)
{
    return QString(kSystemTool).arg(_name);
}

// Writes _bytes as the whole of _path, or nothing (an executable only for
// its owner when _executable); false with the reason in _why.
bool writeWhole(const QString& _path, const QByteArray& _bytes, bool _executable, QString* _why)
{
    QSaveFile file(_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(_bytes) != _bytes.size() || !file.commit()) {
        *_why = file.errorString();
        return false;
    }
    if (_executable &&
        !QFile::setPermissions(_path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner)) {
        *_why = "the permissions cannot be set";
        return false;
    }
    return true;
}
} // namespace

QString ToolUpdater::getUpdateStarterPath()
{
    return QString("%1/%2").arg(getUpdatePath(), kScriptName);
}

void ToolUpdater::removeLeftovers()
{
    if (QFile::exists(getUpdateStarterPath()))
        QFile::remove(getUpdateStarterPath());
    const QDir temp(getTempPath());
    const QStringList folders =
        temp.entryList({QString("%1*").arg(kPrivateFolderPrefix)}, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& name : folders) {
        // A script still running (Windows keeps its file open) is tried again next time.
        if (!QDir(temp.filePath(name)).removeRecursively())
            LOG(lcBridge, QString("can not remove '%1' yet").arg(temp.filePath(name)));
    }
}

QString ToolUpdater::makePrivateFolder()
{
    if (!QDir().mkpath(getTempPath()))
        return QString();
    // mkdtemp: a new folder of a random name, 0700.
    QTemporaryDir folder(QString("%1/%2XXXXXX").arg(getTempPath(), kPrivateFolderPrefix));
    if (!folder.isValid())
        return QString();
    folder.setAutoRemove(false);
    QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return folder.path();
}

QString ToolUpdater::cmdQuoted(const QString& _path)
{
    // Between double quotes cmd takes every character literally except '%'
    // (expanded in every line of a script, doubled it stands for itself) and,
    // with delayed expansion on, '!' and '^'; the script turns that off. A
    // double quote would end the quoting and a line break the command.
    for (const QChar c : _path) {
        if (c == '"' || c.unicode() < 0x20 || c.unicode() == 0x7F)
            return QString();
    }
    if (_path.isEmpty())
        return QString();
    return "\"" + QString(_path).replace("%", "%%") + "\"";
}

QString ToolUpdater::shellQuoted(const QString& _text)
{
    return "'" + QString(_text).replace("'", "'\\''") + "'";
}

QString ToolUpdater::windowsUpdateScript(const QString& _newFile, const QString& _applFilePath, qint64 _pid)
{
    const QString newFile = cmdQuoted(QString(_newFile).replace('/', '\\'));
    const QString applFilePath = cmdQuoted(_applFilePath);
    if (newFile.isEmpty() || applFilePath.isEmpty())
        return QString();

    // The code page is switched in the first line, which cmd still reads in
    // the console's own code page; it reads each later line anew from the
    // file, as UTF-8. CR LF: cmd finds labels unreliably in LF-only files.
    QStringList lines;
    lines << QString("@%1 65001 >nul").arg(systemTool("chcp.com")) << "@echo off"
          << "setlocal DisableDelayedExpansion";
    if (_pid > 0) {
        // tasklist lists the process as "<image>","<pid>",... while it runs
        // and prints a note otherwise; find fails when the process is gone.
        // find takes two double quotes for one.
        lines << ":waitForTool"
              << QString("%1 /FI \"PID eq %2\" /NH /FO CSV 2>nul | %3 \",\"\"%2\"\",\" >nul")
                     .arg(systemTool("tasklist.exe"), QString::number(_pid), systemTool("find.exe"))
              << "if errorlevel 1 goto toolEnded" << QString("%1 /t 1 /nobreak >nul").arg(systemTool("timeout.exe"))
              << "goto waitForTool"
              << ":toolEnded";
    }
    // cmd waits for the new file, whatever kind of program it is; the quoted
    // word before the switches is the window title that start expects.
    lines << newFile << QString("start \"dummy_titel\" /NORMAL %1 /UPDATE").arg(applFilePath) << "exit";
    return lines.join("\r\n") + "\r\n";
}

QString ToolUpdater::posixUpdateScript(const QString& _newFile, const QString& _applFilePath, qint64 _pid)
{
    // The downloaded file carries no execute permission. Whatever it does,
    // the tool is started again afterwards.
    const QString newFile = shellQuoted(_newFile);
    QString text = "#!/bin/sh\n";
    if (_pid > 0)
        text += QString("while kill -0 %1 2>/dev/null; do sleep 1; done\n").arg(_pid);
    return text + QString("chmod u+x %1\n%1\nexec %2 /UPDATE\n").arg(newFile, shellQuoted(_applFilePath));
}

QString ToolUpdater::restartProgram() const
{
    return m_restartProgram.isEmpty() ? QCoreApplication::applicationFilePath() : m_restartProgram;
}

qint64 ToolUpdater::waitPid() const
{
    return m_waitPid > 0 ? m_waitPid : QCoreApplication::applicationPid();
}

bool ToolUpdater::fail(const QString& _logText, const QString& _userText)
{
    LOG(lcBridge, _logText);
    m_errorText = _userText;
    return false;
}

bool ToolUpdater::updateTool(const FileVersionInfo& _applVersion)
{
    m_errorText.clear();
    m_scriptPath.clear();
    const QString fileName = _applVersion.m_update.fileName;
    const QString newFile = QString("%1/%2").arg(getUpdatePath(), fileName);
    const QString quotedNewFile = QDir::toNativeSeparators("\"" + newFile + "\"");
    const QString applFilePath = restartProgram();
    LOG(lcBridge, QString("ver %1, file %2 %3").arg(_applVersion.updateVersionString(), quotedNewFile, applFilePath));

    const QString notStarted =
        tr("The tool update could not be started. The tool keeps running in its current version.");
    // Without the package the script would only start the old tool again.
    if (fileName.isEmpty() || !UpdateFolder::isPlainFileName(fileName) || !QFileInfo(newFile).isFile())
        return fail(QString("missing tool package '%1'").arg(newFile),
                    tr("The new version of the tool is missing. Download it again."));
    // Nothing runs that the update key has not signed.
    QByteArray package;
    QString why;
    if (!checkPackage(fileName, &package, &why))
        return fail(QString("tool package '%1' is not started: %2").arg(newFile, why),
                    tr("The new version of the tool differs from the one downloaded. Download it again."));

    // The script runs a copy of the bytes just checked, in a folder only
    // this user can write; nothing written into the update folder from now
    // on reaches it.
    const QString folder = makePrivateFolder();
    const QString copy = QString("%1/%2").arg(folder, fileName);
    const QString scriptPath = QString("%1/%2").arg(folder, kScriptName);
    auto giveUp = [this, &folder](const QString& _logText, const QString& _userText) {
        if (!folder.isEmpty())
            QDir(folder).removeRecursively();
        return fail(_logText, _userText);
    };
    const QString cannotPrepare = tr("The tool update could not be prepared: the folder %1 cannot be written. The "
                                     "tool keeps running in its current version.")
                                      .arg(QDir::toNativeSeparators(getTempPath()));
    QString writeError;
    if (folder.isEmpty() || !writeWhole(copy, package, true, &writeError))
        return giveUp(QString("can not write '%1': %2").arg(copy, writeError), cannotPrepare);

#ifdef Q_OS_WIN
    const QString text = windowsUpdateScript(copy, applFilePath, waitPid());
#else
    const QString text = posixUpdateScript(copy, applFilePath, waitPid());
#endif
    if (text.isEmpty())
        return giveUp(QString("can not quote '%1' or '%2' for the script").arg(copy, applFilePath), notStarted);

    // All or nothing: a script cut short must not run.
    if (!writeWhole(scriptPath, text.toUtf8(), false, &writeError))
        return giveUp(QString("can not write '%1': %2").arg(scriptPath, writeError), cannotPrepare);

    if (!startUpdateScript(scriptPath))
        return giveUp(QString("can not start '%1'").arg(scriptPath), notStarted);
    m_scriptPath = scriptPath;
    return true;
}

bool ToolUpdater::checkPackage(const QString& _fileName, QByteArray* _bytes, QString* _why)
{
    if (!UpdateFolder::isPlainFileName(_fileName)) {
        *_why = "no plain file name";
        return false;
    }
    QByteArray bytes;
    if (!SignedFile::read(UpdateFolder::filePath(_fileName),
                          UpdateFolder::filePath(UpdateFolder::signatureName(_fileName)), &bytes, _why))
        return false;
    const QList<BackupIni::Entry> entries = BackupIni::entries();
    const auto entry = std::find_if(entries.begin(), entries.end(), [&_fileName](const BackupIni::Entry& _entry) {
        return DeviceType::isTool(_entry.devType) && _entry.fileName == _fileName;
    });
    if (entry != entries.end() && entry->size >= 0) {
        const QByteArray sha256 = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
        if (bytes.size() != entry->size || sha256 != entry->sha256) {
            *_why = QString("%1 bytes with SHA-256 %2, %3 bytes with SHA-256 %4 on record")
                        .arg(bytes.size())
                        .arg(QString::fromLatin1(sha256))
                        .arg(entry->size)
                        .arg(QString::fromLatin1(entry->sha256));
            return false;
        }
    }
    *_bytes = bytes;
    return true;
}

bool ToolUpdater::startUpdateScript(const QString& _scriptPath)
{
    return UpdateScriptStarter::start(_scriptPath);
}
