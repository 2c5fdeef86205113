#include <QDesktopServices>
#include <QStringListModel>
#include <QtTest>

#include "bridge/CProg2Gui.h"
#include "bridge/LanguageList.h"
#include "common/settings.h"
#include "content/FirmwareUpdateFileModel.h"
#include "link/CSerialPortHandler.h"
#include "support/LogCapture.h"
#include "support/TestFiles.h"
#include "support/TestSettings.h"

namespace {
// The help sentence of help 1001 in each compiled test translation.
QString connectSentence(const QString& _shortCut)
{
    if (_shortCut == "de_DE")
        return "Verbinden Sie einen Lumoran-USB-Stick mit einem Computer.";
    if (_shortCut == "de_AT")
        return "Stecken Sie einen Lumoran-USB-Stick an den Computer an.";
    if (_shortCut == "en_GB" || _shortCut.isEmpty()) // xx.qm is a copy of the English file
        return "Plug a Lumoran USB stick into the computer.";
    return "Connect a Lumoran USB stick with a computer.";
}

QString qmFile(const QString& _name)
{
    return QString(LUMORAN_TEST_QM_DIR) + "/" + _name;
}
} // namespace

// Receives what the bridge asks the desktop to open.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void openFile(const QUrl& _url) { urls.append(_url); }
};

// Languages, licence and manual with real translation files laid out next to
// a stand-in executable folder.
class tst_Languages : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void namesAndShortCuts();
    void restoreSavedLanguage_data();
    void restoreSavedLanguage();
    void languageOfTheSystem_data();
    void languageOfTheSystem();
    void unknownLanguage();
    void sameDisplayName();
    void noTranslations();
    void licence_data();
    void licence();
    void manual_data();
    void manual();
    void localFileUrl();

private:
    // Copies the named translations (target name -> compiled file) into the folder.
    void installTranslations(const QList<QPair<QString, QString>>& _files);
    QString translationDir() const { return m_appDir->path() + "/translation"; }

    std::unique_ptr<TestSettings> m_settings;
    std::unique_ptr<QTemporaryDir> m_appDir;
};

void tst_Languages::initTestCase()
{
    CSerialPortHandler::setPortListFunction([] { return QStringList(); });
    for (const char* name : {"Deutsch_de_DE.qm", "Deutsch_de_AT.qm", "English_en_GB.qm"})
        QVERIFY2(QFile::exists(qmFile(name)), name);
}

void tst_Languages::init()
{
    m_settings = std::make_unique<TestSettings>();
    m_appDir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_appDir->isValid());
    applDirPath = m_appDir->path();
}

void tst_Languages::cleanup()
{
    applDirPath.clear();
    m_appDir.reset();
    m_settings.reset();
}

void tst_Languages::installTranslations(const QList<QPair<QString, QString>>& _files)
{
    QVERIFY(QDir().mkpath(translationDir()));
    for (const auto& file : _files)
        QVERIFY(QFile::copy(qmFile(file.second), translationDir() + "/" + file.first));
}

void tst_Languages::namesAndShortCuts()
{
    installTranslations({{"Deutsch_de_DE.qm", "Deutsch_de_DE.qm"},
                         {"English_en_GB.qm", "English_en_GB.qm"},
                         {"xx.qm", "English_en_GB.qm"}});
    QVERIFY(writeFile(translationDir() + "/Broken_xx_YY.qm", "not a translation"));
    QVERIFY(writeFile(translationDir() + "/notes.txt", "not a translation either"));

    LogCapture log;
    CProg2Gui bridge;
    QVERIFY(log.contains("translator error on 'Broken_xx_YY.qm'"));
    QCOMPARE(bridge.iGetVal(CProg2Gui::LangCount_ValId), 3);
    QStringList names;
    for (int i = 0; i < 3; ++i)
        names << bridge.getLang(i);
    QCOMPARE(QSet<QString>(names.begin(), names.end()), (QSet<QString>{"Deutsch", "English", "xx.qm"}));
    QCOMPARE(bridge.getLang(-1), QString());
    QCOMPARE(bridge.getLang(3), QString());
    auto* model = qobject_cast<QStringListModel*>(bridge.property("langListModel").value<QObject*>());
    QVERIFY(model);
    QCOMPARE(model->stringList(), names);

    QCOMPARE(bridge.getLangShortCut("Deutsch"), QString("de_DE"));
    QCOMPARE(bridge.getLangShortCut("English"), QString("en_GB"));
    QCOMPARE(bridge.getLangShortCut("xx.qm"), QString());
    QCOMPARE(bridge.getLangShortCut("Broken"), QString());

    // Until the window is complete the texts stay English and nothing is chosen.
    QCOMPARE(bridge.lang(), QString());
    QCOMPARE(bridge.iGetVal(CProg2Gui::LangIndex_ValId), -1);
    QVERIFY(bridge.getText(CProg2Gui::HelpBoxTxt_ValId).contains(connectSentence("none")));

    // A language change re-reads both tables and every window text.
    QSignalSpy rows(bridge.fileModel(), &QAbstractItemModel::dataChanged);
    QSignalSpy langChanged(&bridge, &CProg2Gui::langChanged);
    QSignalSpy translate(&bridge, &CProg2Gui::translateHelperChanged);
    bridge.setLang("Deutsch");
    QCOMPARE(rows.count(), bridge.fileModel()->rowCount());
    QCOMPARE(langChanged.count(), 1);
    QCOMPARE(translate.count(), 1);
    QCOMPARE(translate.first().at(0).toString(), QString("Deutsch"));
    QVERIFY(bridge.getText(CProg2Gui::HelpBoxTxt_ValId).contains(connectSentence("de_DE")));
    QCOMPARE(bridge.iGetVal(CProg2Gui::LangIndex_ValId), names.indexOf("Deutsch"));
    QCOMPARE(m_settings->settings()->value("applSettings/lang").toString(), QString("Deutsch"));

    bridge.setLang("Deutsch"); // the same language: nothing happens
    QCOMPARE(langChanged.count(), 1);

    bridge.setLang("English");
    QVERIFY(bridge.getText(CProg2Gui::HelpBoxTxt_ValId).contains(connectSentence("en_GB")));
}

void tst_Languages::restoreSavedLanguage_data()
{
    QTest::addColumn<QString>("saved");
    QTest::addColumn<bool>("present");
    QTest::newRow("saved and present") << "English" << true;
    QTest::newRow("saved, no longer present") << "Klingon" << false;
    QTest::newRow("nothing saved") << "" << false;
}

void tst_Languages::restoreSavedLanguage()
{
    QFETCH(QString, saved);
    QFETCH(bool, present);
    installTranslations({{"Deutsch_de_DE.qm", "Deutsch_de_DE.qm"}, {"English_en_GB.qm", "English_en_GB.qm"}});
    m_settings->settings()->setValue("applSettings/lang", saved);

    CProg2Gui bridge;
    QSignalSpy completed(&bridge, &CProg2Gui::initCompletedChanged);
    QSignalSpy devices(&bridge, &CProg2Gui::deviceDataRepaint);
    QVERIFY(bridge.setProperty("initCompleted", true));
    QCOMPARE(completed.count(), 1);
    QCOMPARE(devices.count(), 1);

    // Otherwise the system's language, else English.
    const QString expected = present ? saved : bridge.languages().nameForLocale(QLocale::system());
    QVERIFY(!expected.isEmpty());
    QCOMPARE(bridge.lang(), expected);
    QCOMPARE(bridge.iGetVal(CProg2Gui::LangIndex_ValId), bridge.getLang(0) == expected ? 0 : 1);
    QCOMPARE(m_settings->settings()->value("applSettings/lang").toString(), expected);
    QVERIFY(bridge.getText(CProg2Gui::HelpBoxTxt_ValId).contains(connectSentence(bridge.getLangShortCut(expected))));

    bridge.setInitCompleted(true);
    QCOMPARE(completed.count(), 1);
}

void tst_Languages::languageOfTheSystem_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("expected");
    const QStringList both{"English_en_GB.qm", "Deutsch_de_DE.qm"};
    QTest::newRow("German of Germany") << both << "de_DE"
                                       << "Deutsch";
    QTest::newRow("German of Austria: the language") << both << "de_AT"
                                                     << "Deutsch";
    QTest::newRow("American English") << both << "en_US"
                                      << "English";
    QTest::newRow("French: English") << both << "fr_FR"
                                     << "English";
    QTest::newRow("C locale: English") << both << "C"
                                       << "English";
    QTest::newRow("no English: the first") << QStringList{"Deutsch_de_DE.qm"} << "fr_FR"
                                           << "Deutsch";
}

// Which language a first start chooses, for the system's locale.
void tst_Languages::languageOfTheSystem()
{
    QFETCH(QStringList, files);
    QFETCH(QString, locale);
    QFETCH(QString, expected);
    QList<QPair<QString, QString>> copies;
    for (const QString& file : files)
        copies.append({file, file});
    installTranslations(copies);
    LanguageList languages;
    languages.load(translationDir());
    const QString name = languages.nameForLocale(QLocale(locale));
    QCOMPARE(name, expected);
}

void tst_Languages::unknownLanguage()
{
    installTranslations({{"Deutsch_de_DE.qm", "Deutsch_de_DE.qm"}});
    CProg2Gui bridge;
    bridge.setInitCompleted(true);
    QCOMPARE(bridge.lang(), QString("Deutsch"));
    QVERIFY(bridge.getText(CProg2Gui::HelpBoxTxt_ValId).contains(connectSentence("de_DE")));

    QSignalSpy langChanged(&bridge, &CProg2Gui::langChanged);
    bridge.setProperty("lang", "Klingon");
    QCOMPARE(langChanged.count(), 1);
    QCOMPARE(langChanged.first().at(0).toString(), QString("Klingon"));
    QCOMPARE(bridge.lang(), QString("Klingon"));
    QCOMPARE(bridge.iGetVal(CProg2Gui::LangIndex_ValId), -1);
    QCOMPARE(m_settings->settings()->value("applSettings/lang").toString(), QString());
    // The translator is gone: English again.
    QVERIFY(bridge.getText(CProg2Gui::HelpBoxTxt_ValId).contains(connectSentence("none")));
}

void tst_Languages::sameDisplayName()
{
    installTranslations({{"Deutsch_de_DE.qm", "Deutsch_de_DE.qm"}, {"Deutsch_de_AT.qm", "Deutsch_de_AT.qm"}});
    CProg2Gui bridge;
    QCOMPARE(bridge.iGetVal(CProg2Gui::LangCount_ValId), 2);
    QCOMPARE(bridge.getLang(0), QString("Deutsch"));
    QCOMPARE(bridge.getLang(1), QString("Deutsch"));

    // Either entry installs the translation of the file found first.
    const QString first = bridge.getLangShortCut("Deutsch");
    QVERIFY(first == "de_DE" || first == "de_AT");
    bridge.setLang("Deutsch");
    QVERIFY(bridge.getText(CProg2Gui::HelpBoxTxt_ValId).contains(connectSentence(first)));
    QCOMPARE(bridge.iGetVal(CProg2Gui::LangIndex_ValId), 0);
}

void tst_Languages::noTranslations()
{
    m_settings->settings()->setValue("applSettings/lang", "Deutsch");
    QVERIFY(QDir().mkpath(translationDir()));
    LogCapture log;
    CProg2Gui bridge;
    QVERIFY(log.contains("there are no translations available"));
    QVERIFY(log.contains(QDir(translationDir()).absolutePath()));
    QCOMPARE(m_settings->settings()->value("applSettings/lang").toString(), QString());
    QCOMPARE(bridge.iGetVal(CProg2Gui::LangCount_ValId), 0);
    bridge.setInitCompleted(true);
    QCOMPARE(bridge.lang(), QString());
    QVERIFY(bridge.getText(CProg2Gui::HelpBoxTxt_ValId).contains(connectSentence("none")));
}

void tst_Languages::licence_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QStringList>("files"); // licence files present: short cut=content
    QTest::addColumn<QString>("text");

    QTest::newRow("own language") << "Deutsch" << QStringList{"de_DE=A\nB", "en_GB=english"} << "A\nB\n\n";
    QTest::newRow("trailing line break") << "Deutsch" << QStringList{"de_DE=A\nB\n"} << "A\nB\n\n";
    QTest::newRow("empty lines kept") << "English" << QStringList{"en_GB=one\n\nthree"} << "one\n\nthree\n\n";
    QTest::newRow("falls back to en_GB") << "Deutsch" << QStringList{"en_GB=english"} << "english\n\n";
    QTest::newRow("no short cut") << "xx.qm" << QStringList{"de_DE=deutsch", "en_GB=english"} << "english\n\n";
    QTest::newRow("no language chosen") << "" << QStringList{"en_GB=english"} << "english\n\n";
    QTest::newRow("no licence at all") << "Deutsch" << QStringList{} << "";
    QTest::newRow("UTF-8 with BOM") << "Deutsch"
                                    << QStringList{"de_DE=\xEF\xBB\xBF"
                                                   "für"}
                                    << "für\n\n";
}

void tst_Languages::licence()
{
    QFETCH(QString, language);
    QFETCH(QStringList, files);
    QFETCH(QString, text);

    installTranslations({{"Deutsch_de_DE.qm", "Deutsch_de_DE.qm"},
                         {"English_en_GB.qm", "English_en_GB.qm"},
                         {"xx.qm", "English_en_GB.qm"}});
    QVERIFY(QDir().mkpath(m_appDir->path() + "/licence"));
    for (const QString& file : files) {
        const int split = file.indexOf('=');
        QVERIFY(writeFile(QString("%1/licence/licence_%2.txt").arg(m_appDir->path(), file.left(split)),
                          file.mid(split + 1).toUtf8()));
    }
    CProg2Gui bridge;
    bridge.setLang(language);
    QCOMPARE(bridge.getText(CProg2Gui::ApplLicence_ValId), text);
    QCOMPARE(bridge.getLicenceText(), text);
}

void tst_Languages::manual_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QStringList>("manuals");
    QTest::addColumn<QString>("opened"); // empty: nothing opens

    QTest::newRow("own language") << "Deutsch" << QStringList{"de_DE", "en_GB"} << "Help_de_DE.pdf";
    QTest::newRow("no fallback") << "Deutsch" << QStringList{"en_GB"} << "";
    QTest::newRow("no short cut") << "xx.qm" << QStringList{"en_GB"} << "Help_en_GB.pdf";
    QTest::newRow("English") << "English" << QStringList{"de_DE", "en_GB"} << "Help_en_GB.pdf";
}

void tst_Languages::manual()
{
    QFETCH(QString, language);
    QFETCH(QStringList, manuals);
    QFETCH(QString, opened);

    installTranslations({{"Deutsch_de_DE.qm", "Deutsch_de_DE.qm"},
                         {"English_en_GB.qm", "English_en_GB.qm"},
                         {"xx.qm", "English_en_GB.qm"}});
    // A folder name with a blank, as under "Program Files".
    const QString helpDir = m_appDir->path() + "/help";
    QVERIFY(QDir().mkpath(helpDir));
    for (const QString& shortCut : manuals)
        QVERIFY(writeFile(QString("%1/Help_%2.pdf").arg(helpDir, shortCut), "%PDF-1.4\n"));

    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("file", &catcher, "openFile");
    CProg2Gui bridge;
    bridge.setLang(language);
    LogCapture log;
    bridge.qmlAction(CProg2Gui::OpenHelp_QmlAction);
    QDesktopServices::unsetUrlHandler("file");

    if (opened.isEmpty()) {
        QVERIFY(catcher.urls.isEmpty());
        QVERIFY(log.contains("missing helpfile: lang 'Deutsch', shortCut 'de_DE'"));
    } else {
        QCOMPARE(catcher.urls.size(), 1);
        QVERIFY(catcher.urls.first().isLocalFile());
        QCOMPARE(catcher.urls.first().toLocalFile(), QDir(helpDir).absolutePath() + "/" + opened);
        QVERIFY(log.contains(QString("oen helpfile: lang '%1'").arg(language)));
    }
}

void tst_Languages::localFileUrl()
{
    const QString posix = "/opt/Vandrel Lumoran/help/Help_en_GB.pdf";
    QCOMPARE(CProg2Gui::localFileUrl(posix), QString("file:///opt/Vandrel Lumoran/help/Help_en_GB.pdf"));
    QCOMPARE(QUrl(CProg2Gui::localFileUrl(posix)).toLocalFile(), posix);
    // Drive paths keep the URL the tool has always built.
    QCOMPARE(CProg2Gui::localFileUrl("C:/Program Files/Vandrel/help/Help_de_DE.pdf"),
             QString("file:///C:/Program Files/Vandrel/help/Help_de_DE.pdf"));
}

QTEST_GUILESS_MAIN(tst_Languages)
#include "tst_languages.moc"
