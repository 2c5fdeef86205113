#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>

// The translation files: kept complete with the code, translated in full, and
// the placeholders and markup of every text left intact.
class tst_Translations : public QObject
{
    Q_OBJECT
private slots:
    void everyTextTranslated_data();
    void everyTextTranslated();
    void placeholdersAndMarkupKept_data();
    void placeholdersAndMarkupKept();
    void pluralForms_data();
    void pluralForms();

private:
    struct Message
    {
        QString context;
        QString source;
        QString comment;
        QStringList translations; // one entry, or one per plural form
        bool unfinished = false;
    };
    static QList<Message> readTs(const QString& _path, QString* _error);
    static void addTsRows();
};

QList<tst_Translations::Message> tst_Translations::readTs(const QString& _path, QString* _error)
{
    QList<Message> messages;
    QFile file(_path);
    if (!file.open(QIODevice::ReadOnly)) {
        *_error = "cannot open " + _path;
        return messages;
    }
    QXmlStreamReader xml(&file);
    QString context;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("message")) {
            Message message;
            message.context = context;
            while (!(xml.isEndElement() && xml.name() == QLatin1String("message")) && !xml.atEnd()) {
                xml.readNext();
                if (!xml.isStartElement())
                    continue;
                if (xml.name() == QLatin1String("source")) {
                    message.source = xml.readElementText();
                } else if (xml.name() == QLatin1String("comment")) {
                    message.comment = xml.readElementText();
                } else if (xml.name() == QLatin1String("translation")) {
                    const QString type = xml.attributes().value("type").toString();
                    message.unfinished = type == "unfinished";
                    if (type == "vanished" || type == "obsolete")
                        message.unfinished = true;
                    bool numerus = false;
                    QString text;
                    while (!(xml.isEndElement() && xml.name() == QLatin1String("translation")) && !xml.atEnd()) {
                        xml.readNext();
                        if (xml.isStartElement() && xml.name() == QLatin1String("numerusform")) {
                            numerus = true;
                            message.translations.append(xml.readElementText());
                        } else if (xml.isCharacters()) {
                            text += xml.text();
                        }
                    }
                    if (!numerus)
                        message.translations.append(text);
                }
            }
            messages.append(message);
        }
    }
    if (xml.hasError())
        *_error = QString("%1: %2").arg(_path, xml.errorString());
    return messages;
}

void tst_Translations::addTsRows()
{
    QTest::addColumn<QString>("tsPath");
    const QStringList files = QString(LUMORAN_TS_FILES).split('|', Qt::SkipEmptyParts);
    for (const QString& path : files)
        QTest::newRow(qPrintable(QFileInfo(path).fileName())) << path;
}

void tst_Translations::everyTextTranslated_data()
{
    addTsRows();
}

// lupdate runs over the sources into a copy of the file: a text of the code
// that the committed file lacks shows up here as unfinished.
void tst_Translations::everyTextTranslated()
{
    QFETCH(QString, tsPath);
    // A cross build's lupdate is a program of the build machine; the native
    // build checks the same sources.
    if (QString(LUMORAN_LUPDATE).isEmpty())
        QSKIP("no lupdate that this system can run");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString copy = dir.filePath(QFileInfo(tsPath).fileName());
    QVERIFY(QFile::copy(tsPath, copy));
    QFile(copy).setPermissions(QFile::ReadOwner | QFile::WriteOwner);

    QStringList args{"-silent", "-no-obsolete", "-locations", "none", "-extensions", "cpp,h,qml"};
    args += QString(LUMORAN_TRANSLATION_SCAN_DIRS).split('|', Qt::SkipEmptyParts);
    args << "-ts" << copy;
    QProcess lupdate;
    lupdate.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    lupdate.start(LUMORAN_LUPDATE, args);
    QVERIFY2(lupdate.waitForFinished(60000), "lupdate did not finish");
    QCOMPARE(lupdate.exitCode(), 0);

    QString error;
    const QList<Message> messages = readTs(copy, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(messages.size() > 50);
    QStringList missing;
    for (const Message& message : messages) {
        bool complete = !message.unfinished && !message.translations.isEmpty();
        for (const QString& text : message.translations)
            complete = complete && !text.isEmpty();
        if (!complete)
            missing << QString("%1: \"%2\"").arg(message.context, message.source);
    }
    QVERIFY2(missing.isEmpty(), qPrintable("untranslated or missing from the file:\n" + missing.join('\n')));
}

void tst_Translations::placeholdersAndMarkupKept_data()
{
    addTsRows();
}

void tst_Translations::placeholdersAndMarkupKept()
{
    QFETCH(QString, tsPath);
    QString error;
    const QList<Message> messages = readTs(tsPath, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));

    // What the code fills in or the rich text needs: %1…%9, %n and the tags.
    static const QRegularExpression placeholder("%[1-9n]");
    static const QRegularExpression tag("<[^>]*>");
    auto collect = [](const QString& _text, const QRegularExpression& _re) {
        QStringList found;
        for (auto it = _re.globalMatch(_text); it.hasNext();)
            found << it.next().captured();
        return found;
    };
    QStringList broken;
    for (const Message& message : messages) {
        QStringList wantedPlaceholders = collect(message.source, placeholder);
        wantedPlaceholders.sort();
        const QStringList wantedTags = collect(message.source, tag);
        for (const QString& text : message.translations) {
            if (text.isEmpty()) // untranslated: everyTextTranslated reports it
                continue;
            QStringList placeholders = collect(text, placeholder);
            placeholders.sort();
            if (placeholders != wantedPlaceholders || collect(text, tag) != wantedTags)
                broken << QString("%1: \"%2\" -> \"%3\"").arg(message.context, message.source, text);
        }
    }
    QVERIFY2(broken.isEmpty(), qPrintable("placeholders or markup differ:\n" + broken.join('\n')));
}

void tst_Translations::pluralForms_data()
{
    QTest::addColumn<QString>("qmName");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("expected");
    QTest::newRow("English one") << "English_en_GB.qm" << 1 << "1 device found";
    QTest::newRow("English two") << "English_en_GB.qm" << 2 << "2 devices found";
    QTest::newRow("German one") << "Deutsch_de_DE.qm" << 1 << "1 Gerät gefunden";
    QTest::newRow("German many") << "Deutsch_de_DE.qm" << 12 << "12 Geräte gefunden";
}

// The plural rules come from the language of the file; a wrong language
// attribute would give every count the same form.
void tst_Translations::pluralForms()
{
    QFETCH(QString, qmName);
    QFETCH(int, count);
    QFETCH(QString, expected);
    QTranslator translator;
    QVERIFY(translator.load(qmName, LUMORAN_QM_DIR));
    const QString text =
        translator.translate("ZigBeeDeviceModel", "%1 devices found", "N devices found; N >= 1", count).arg(count);
    QCOMPARE(text, expected);
}

QTEST_GUILESS_MAIN(tst_Translations)
#include "tst_translations.moc"
