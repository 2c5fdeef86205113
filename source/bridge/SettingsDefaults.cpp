#include "SettingsDefaults.h"

#include <QCoreApplication>
#include <QSettings>
#include <QStringList>

#include "link/CSerialPortHandler.h"

namespace {
const char* const kDownloadComment = "detect the TARN 'file not found' page if size matches and txt1..3 found";

// Reads a key with its default and writes the value back.
void keepBytes(QSettings& _settings, const char* _key, const QByteArray& _default)
{
    _settings.setValue(_key, _settings.value(_key, _default).toByteArray());
}

void keepText(QSettings& _settings, const char* _key, const QString& _default)
{
    _settings.setValue(_key, _settings.value(_key, _default).toString());
}
} // namespace

void SettingsDefaults::write(QSettings& _settings)
{
    keepText(_settings, "update/UpdateFile", QString("update"));
    keepText(_settings, "update/UpdateExt", QString("xml"));
    keepText(_settings, "update/UpdateSigExt", QString("sig"));
    keepText(_settings, "update/UpdateUrl", QString(kDefaultUpdateUrl));

    // What tells the maker's "file not found" page from a file.
    _settings.setValue("download/comment", QString(kDownloadComment));
    _settings.setValue("download/minSize", _settings.value("download/minSize", 1000).toInt());
    _settings.setValue("download/maxSize", _settings.value("download/maxSize", 20000).toInt());
    keepBytes(_settings, "download/searchText1", QByteArray("www.vandrel.example"));
    keepBytes(_settings, "download/searchText2", QByteArray("<!doctype html>"));
    keepBytes(_settings, "download/searchText3", QByteArray("Vandrel Online-Katalog"));
    keepBytes(_settings, "download/searchText4", QByteArray("404 Not Found"));

    // The keys of the start-up, the language and the window (logging is switched on here).
    _settings.setValue("applSettings/uselogfile", _settings.value("applSettings/uselogfile", false).toBool());
    keepText(_settings, "applSettings/logfile", QCoreApplication::applicationName() + ".log");
    keepText(_settings, "applSettings/lang", QString());
    _settings.setValue("applWinSettings/fontpointSize",
                       _settings.value("applWinSettings/fontpointSize", 8.0).toDouble());
    _settings.setValue("applWinSettings/width", _settings.value("applWinSettings/width", 1024).toInt());
    _settings.setValue("applWinSettings/height", _settings.value("applWinSettings/height", 768).toInt());

    // Pinned serial ports: empty means "search every enumerated port". An empty
    // list is written as an empty value, which users can fill in by hand.
    const QStringList ports = CSerialPortHandler::pinnedPorts();
    _settings.setValue("serial/ports", ports.isEmpty() ? QVariant(QString()) : QVariant(ports));
}
