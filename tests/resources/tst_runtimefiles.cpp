#include <QSettings>
#include <QTextCodec>
#include <QTextStream>
#include <QtTest>

// The tool reads "help", "licence", "device" and "translation" next to its
// executable. The build lays them out in the same folder as every other
// executable, so this test finds them next to itself.
class tst_RuntimeFiles : public QObject
{
    Q_OBJECT
private slots:
    void folders();
    void manual_data();
    void manual();
    void licence_data();
    void licence();
    void productionIniShipsNoFirmware();
};

namespace {

QString runtimePath(const QString& _relative)
{
    return QCoreApplication::applicationDirPath() + "/" + _relative;
}

// Reads a text file the way the about dialog does: a text stream in its default
// encoding, which is the system's 8-bit encoding unless the file says otherwise.
QString readAsLicence(const QString& _path, const char* _localeCodec)
{
    QTextCodec* const previous = QTextCodec::codecForLocale();
    QTextCodec::setCodecForLocale(QTextCodec::codecForName(_localeCodec));
    QString text;
    QFile file(_path);
    if (file.open(QIODevice::ReadOnly)) {
        QTextStream stream(&file);
        text = stream.readAll();
    }
    QTextCodec::setCodecForLocale(previous);
    return text;
}

} // namespace

void tst_RuntimeFiles::folders()
{
    for (const char* folder : {"help", "licence", "device", "translation"})
        QVERIFY2(QFileInfo(runtimePath(folder)).isDir(), folder);
}

void tst_RuntimeFiles::manual_data()
{
    QTest::addColumn<QString>("shortCut");
    QTest::newRow("English") << "en_GB";
    QTest::newRow("German") << "de_DE";
}

void tst_RuntimeFiles::manual()
{
    QFETCH(QString, shortCut);
    QFile file(runtimePath(QString("help/Help_%1.pdf").arg(shortCut)));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    const QByteArray pdf = file.readAll();
    // Binary streams hold NUL bytes; the text view must keep everything after them.
    const QString text = QString::fromLatin1(pdf.constData(), pdf.size());

    QVERIFY(pdf.startsWith("%PDF-"));
    QVERIFY(pdf.trimmed().endsWith("%%EOF"));

    // Every page object, and the page tree agrees on their number.
    const QRegularExpression pageObject("/Type\\s*/Page(?![a-zA-Z])");
    int pages = 0;
    for (QRegularExpressionMatchIterator it = pageObject.globalMatch(text); it.hasNext(); it.next())
        ++pages;
    QVERIFY2(pages > 1, qPrintable(QString("%1 pages").arg(pages)));
    const QRegularExpressionMatch count = QRegularExpression("/Type\\s*/Pages\\b[^>]*/Count\\s+(\\d+)").match(text);
    QVERIFY(count.hasMatch());
    QCOMPARE(count.captured(1).toInt(), pages);

    // The manual explains the window with its pictures.
    QVERIFY(pdf.count("/Subtype /Image") >= 10);
}

void tst_RuntimeFiles::licence_data()
{
    QTest::addColumn<QString>("shortCut");
    QTest::addColumn<QString>("ownWord");
    QTest::newRow("English") << "en_GB"
                             << "licence";
    // The umlaut must survive a Western European Windows code page.
    QTest::newRow("German") << "de_DE" << QString::fromUtf8("Lizenzbedingungen für Endnutzer");
}

void tst_RuntimeFiles::licence()
{
    QFETCH(QString, shortCut);
    QFETCH(QString, ownWord);
    const QString path = runtimePath(QString("licence/licence_%1.txt").arg(shortCut));

    for (const char* localeCodec : {"UTF-8", "Windows-1252"}) {
        const QString text = readAsLicence(path, localeCodec);
        QVERIFY2(text.startsWith("Vandrel Lumoran Tool"), localeCodec);
        QVERIFY2(text.contains(ownWord), localeCodec);
        QVERIFY2(!text.contains(QChar(0xFFFD)) && !text.contains(QChar(0x00C3)), localeCodec);
    }

    // The third-party notices and the texts they refer to.
    const QString text = readAsLicence(path, "UTF-8");
    for (const char* notice : {"Qt 5", "GNU Lesser General Public License", "Botan", "Simplified BSD License",
                               "Redistribution and use in source and binary forms", "LGPL-3.txt", "GPL-3.txt"})
        QVERIFY2(text.contains(notice), notice);
    QVERIFY(QFileInfo(runtimePath("licence/LGPL-3.txt")).size() > 0);
    QVERIFY(QFileInfo(runtimePath("licence/GPL-3.txt")).size() > 0);
}

void tst_RuntimeFiles::productionIniShipsNoFirmware()
{
    const QString path = runtimePath("device/production.ini");
    QVERIFY(QFile::exists(path));
    QSettings ini(path, QSettings::IniFormat);
    QCOMPARE(ini.status(), QSettings::NoError);
    QCOMPARE(ini.childGroups(), QStringList({"devices"}));
    // An empty list, not a list holding one empty group name.
    QVERIFY(ini.value("devices/known_devices").toStringList().isEmpty());
    QCOMPARE(ini.allKeys(), QStringList({"devices/known_devices"}));
}

QTEST_GUILESS_MAIN(tst_RuntimeFiles)
#include "tst_runtimefiles.moc"
