#include <QtTest>

#include "common/log.h"
#include "common/messageHandler.h"
#include "common/settings.h"
#include "support/TestSettings.h"

class tst_MessageHandler : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void writesPatternToLogFile();
    void appendsAcrossRuns();
    void rollsOverAtItsSize();
    void emptyFileNameWritesNothing();
    void missingTempFolderDropsMessages();

private:
    QString logFile() const { return getTempPath() + "/" + QCoreApplication::applicationName() + ".log"; }
    std::unique_ptr<TestSettings> m_settings;
};

void tst_MessageHandler::init()
{
    m_settings = std::make_unique<TestSettings>();
    QVERIFY(QDir().mkpath(getTempPath()));
    qSetMessagePattern(kLogMessagePattern);
    qInstallMessageHandler(messageHandler);
}

void tst_MessageHandler::cleanup()
{
    qInstallMessageHandler(nullptr);
    qSetMessagePattern(QString());
    m_settings.reset();
}

static QStringList readLines(const QString& _path)
{
    QFile file(_path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(file.readAll()).split('\n');
}

void tst_MessageHandler::writesPatternToLogFile()
{
    LOG(lcApp, "\n");
    LOG(lcApp, QString("start logging"));
    const int line = __LINE__ - 1;
    const QStringList lines = readLines(logFile());
    // "\n" as a message gives an empty line of its own after the prefix.
    QVERIFY2(lines.size() >= 4, qPrintable(lines.join('|')));
    const QRegularExpression pattern(QString("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d  .*tst_messagehandler\\.cpp\\(%1\\) "
                                             "tst_MessageHandler::writesPatternToLogFile: start logging$")
                                         .arg(line));
    QVERIFY2(pattern.match(lines.at(2)).hasMatch(), qPrintable(lines.at(2)));
    QCOMPARE(lines.at(1), QString());
}

void tst_MessageHandler::appendsAcrossRuns()
{
    LOG(lcApp, "first");
    LOG(lcApp, "second");
    QStringList lines = readLines(logFile());
    QVERIFY(lines.at(0).endsWith(": first"));
    QVERIFY(lines.at(1).endsWith(": second"));
}

void tst_MessageHandler::rollsOverAtItsSize()
{
    // A log just below the limit takes one more message; the next one finds
    // it full: it replaces the older log and the log starts afresh.
    const QString old = logFile() + kLogFileOldSuffix;
    QFile full(logFile());
    QVERIFY(full.open(QIODevice::WriteOnly));
    QCOMPARE(full.write(QByteArray(int(kLogFileRollOverSize) - 1, 'x')), kLogFileRollOverSize - 1);
    full.close();
    QFile older(old);
    QVERIFY(older.open(QIODevice::WriteOnly) && older.write("oldest\n") == 7);
    older.close();

    LOG(lcApp, "last of the full file");
    const qint64 fullSize = QFileInfo(logFile()).size();
    QVERIFY(fullSize > kLogFileRollOverSize);
    LOG(lcApp, "first of the new file");

    QCOMPARE(QFileInfo(old).size(), fullSize);
    QVERIFY(readLines(old).at(0).startsWith("xxx"));
    const QStringList lines = readLines(logFile());
    QCOMPARE(lines.size(), 2); // the line and the empty text after its line break
    QVERIFY(lines.at(0).endsWith(": first of the new file"));
}

void tst_MessageHandler::emptyFileNameWritesNothing()
{
    m_settings->settings()->setValue("applSettings/logfile", QString());
    LOG(lcApp, "nothing");
    QVERIFY(QDir(getTempPath()).entryList(QDir::Files).isEmpty());

    m_settings->settings()->setValue("applSettings/logfile", "custom.log");
    LOG(lcApp, "custom");
    QVERIFY(readLines(getTempPath() + "/custom.log").at(0).endsWith(": custom"));
}

void tst_MessageHandler::missingTempFolderDropsMessages()
{
    QVERIFY(QDir(getTempPath()).removeRecursively());
    LOG(lcApp, "dropped");
    QVERIFY(!QFile::exists(logFile()));
}

QTEST_GUILESS_MAIN(tst_MessageHandler)
#include "tst_messagehandler.moc"
