#pragma once

#include <QCoreApplication>
#include <QString>

class FileVersionInfo;

// The tool's self-update. A click on "Update Tool" checks the downloaded
// package against its signature again, copies the bytes it checked into a
// fresh folder of its own under the temp folder (mode 0700 where the system
// has modes), writes a small script beside them and starts it as a process of
// its own; the tool then quits. The script waits until the tool's process has
// ended, runs that copy and starts the tool again with "/UPDATE". Nothing in
// the update folder is run or read by the script, so a file written there
// after the check changes nothing. The next start removes the folder.
//
// On Windows the script is a ".cmd" file for the command interpreter, started
// through the shell; elsewhere a POSIX shell script run by /bin/sh. Both are
// written UTF-8 encoded without byte order mark: the ".cmd" text switches the
// console to code page 65001 (UTF-8) in its first line, which is pure ASCII,
// so that every later line, paths with any characters included, is read as
// written. A file in the console's OEM code page could not hold every path a
// user's folders may have.
class ToolUpdater
{
    Q_DECLARE_TR_FUNCTIONS(ToolUpdater)

public:
    // The script's name, whatever the system: "updateStarter.cmd".
    static constexpr const char* kScriptName = "updateStarter.cmd";
    // Where the tool's versions before the private folder left their script:
    // "updateStarter.cmd" in the update folder. Removed at start.
    static QString getUpdateStarterPath();
    // The private folders are named this followed by random characters.
    static constexpr const char* kPrivateFolderPrefix = "toolupdate-";
    // Removes what the last self-update left: the script in the update folder
    // and every private folder with its copy and script.
    static void removeLeftovers();

    // The script for the Windows command interpreter, with CR LF line ends:
    // code page UTF-8, delayed expansion off, wait while process _pid runs,
    // run _newFile (written with backslashes) and wait for it, start
    // _applFilePath (as given) with "/UPDATE" in a window of its own, end.
    // Empty when a path holds a character that no quoting protects in a
    // command line (a double quote, a control character); Windows allows
    // neither in file names. No wait when _pid is not above 0.
    static QString windowsUpdateScript(const QString& _newFile, const QString& _applFilePath, qint64 _pid);
    // The same steps as a POSIX shell script.
    static QString posixUpdateScript(const QString& _newFile, const QString& _applFilePath, qint64 _pid);
    // _path in double quotes as one word of a command interpreter's line:
    // '%' is doubled, everything else cmd would act on ('&', '|', '<', '>',
    // '^', '(', ')' and, with delayed expansion off, '!') stays literal
    // between the quotes. Empty when _path cannot be quoted (see above).
    static QString cmdQuoted(const QString& _path);
    // _text in single quotes as one word of a POSIX shell's line.
    static QString shellQuoted(const QString& _text);

    // The program the update script starts again; the running executable
    // unless set otherwise (tests start a harmless stand-in).
    QString restartProgram() const;
    void setRestartProgram(const QString& _program) { m_restartProgram = _program; }
    // The process the script waits for; this process unless set otherwise
    // (tests let the script wait for a stand-in).
    qint64 waitPid() const;
    void setWaitPid(qint64 _pid) { m_waitPid = _pid; }

    // Checks the pending update of _applVersion, copies it, writes the script
    // and starts it. True when the script runs: the tool is to quit now. On
    // false nothing was started, nothing is left in the temp folder, the tool
    // goes on as before and errorText() says what went wrong, for the user.
    bool updateTool(const FileVersionInfo& _applVersion);
    QString errorText() const { return m_errorText; }
    // The script the last successful updateTool() started.
    QString scriptPath() const { return m_scriptPath; }

    // Starts the script as a process that outlives the tool.
    bool startUpdateScript(const QString& _scriptPath);
    // Whether the package _fileName in the update folder may be run: its
    // signature (beside it) holds under the compiled-in key and, where
    // "backup.ini" recorded a size and SHA-256 for it, its bytes are those.
    // True with the bytes checked in _bytes; _why says why not.
    static bool checkPackage(const QString& _fileName, QByteArray* _bytes, QString* _why);

private:
    bool fail(const QString& _logText, const QString& _userText);
    // A fresh folder only this user can enter; empty when none can be made.
    static QString makePrivateFolder();

    QString m_restartProgram;
    qint64 m_waitPid = 0;
    QString m_errorText;
    QString m_scriptPath;
};
