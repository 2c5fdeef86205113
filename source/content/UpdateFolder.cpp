#include "UpdateFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include "AuthFileDownloader.h"
#include "common/log.h"
#include "common/settings.h"

bool UpdateFolder::isPlainFileName(const QString& _name)
{
    if (_name.isEmpty())
        return false;
    bool onlyDots = true;
    for (const QChar c : _name) {
        if (c.unicode() < 0x20 || QStringLiteral("/\\:<>\"|?*").contains(c))
            return false;
        if (c != '.' && c != ' ')
            onlyDots = false;
    }
    if (onlyDots)
        return false;
    // Windows opens its devices under these names, whatever the extension.
    const QString device = _name.section('.', 0, 0).trimmed().toUpper();
    static const QStringList kDevices = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    if (kDevices.contains(device))
        return false;
    if (device.size() == 4 && (device.startsWith("COM") || device.startsWith("LPT")) && device.at(3) >= '1' &&
        device.at(3) <= '9')
        return false;
    return true;
}

QString UpdateFolder::storedFileName(const QString& _fileName)
{
    // The index is written on Windows as often as not: both separators count.
    QString name = _fileName;
    name.replace('\\', '/');
    const QString plain = name.mid(name.lastIndexOf('/') + 1);
    // Windows drops a trailing dot or blank: "a.bin." would be "a.bin" there.
    if (!isPlainFileName(plain) || plain.endsWith('.') || plain.endsWith(' '))
        return QString();
    const QFileInfo info(plain);
    if (info.suffix().isEmpty() || info.completeBaseName().isEmpty())
        return QString();
    // The tool's own files, and names that stand for another file (its
    // signature, a download under way). Windows does not tell case apart.
    const QString lower = plain.toLower();
    const QString suffix = info.suffix().toLower();
    if (lower.startsWith("backup.ini") || lower.startsWith("updatestarter.cmd") ||
        suffix == signatureSuffix().toLower() || QString(".%1").arg(suffix) == AuthFileDownloader::kPartSuffix)
        return QString();
    return info.completeBaseName() + "." + info.suffix();
}

QString UpdateFolder::signatureSuffix()
{
    QSettings* settings = getSettings();
    const QString suffix = settings ? settings->value("update/UpdateSigExt").toString() : QString();
    return suffix.isEmpty() ? QStringLiteral("sig") : suffix;
}

QString UpdateFolder::signatureName(const QString& _plainName)
{
    return QFileInfo(_plainName).completeBaseName() + "." + signatureSuffix();
}

void UpdateFolder::removeWithSignature(const QString& _plainName)
{
    for (const QString& name : {_plainName, signatureName(_plainName)}) {
        const QString path = filePath(name);
        if (QFile::exists(path) && !QFile::remove(path))
            LOG(lcContent, QString("can not remove '%1'").arg(path));
    }
}

QString UpdateFolder::filePath(const QString& _plainName)
{
    return getUpdatePath() + "/" + _plainName;
}

void UpdateFolder::removeUnverifiedFiles()
{
    const QDir folder(getUpdatePath());
    const QString pattern = QString("*") + AuthFileDownloader::kPartSuffix;
    for (const QString& name : folder.entryList({pattern}, QDir::Files | QDir::Hidden)) {
        if (QFile::remove(folder.filePath(name)))
            LOG(lcContent, QString("removed unverified file '%1'").arg(name));
        else
            LOG(lcContent, QString("can not remove unverified file '%1'").arg(name));
    }
}
