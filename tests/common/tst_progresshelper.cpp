#include <QtTest>

#include "common/FirmwareUpdate.h"
#include "common/ProgressHelper.h"

class tst_ProgressHelper : public QObject
{
    Q_OBJECT
private slots:
    void progressIsClamped();
    void resultNamesAndTexts_data();
    void resultNamesAndTexts();
    void isDone_data();
    void isDone();
    void firmwareUpdateFromText();
};

void tst_ProgressHelper::progressIsClamped()
{
    ProgressHelper p;
    QCOMPARE(p.m_progress, -1);
    p.setProgress(-5);
    QCOMPARE(p.m_progress, -1);
    p.setProgress(1500);
    QCOMPARE(p.m_progress, 1000);
    p.setProgress(0);
    QCOMPARE(p.m_progress, 0);
    p.setProgress(999);
    QCOMPARE(p.m_progress, 999);
}

void tst_ProgressHelper::resultNamesAndTexts_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << "eResultUnknown"
                       << "";
    QTest::newRow("1 has no name") << 1 << "wrong_eResult"
                                   << "";
    QTest::newRow("2") << 2 << "eResultStart"
                       << "";
    QTest::newRow("5") << 5 << "eResultSuccess"
                       << "";
    QTest::newRow("6") << 6 << "eResultVerifFail"
                       << "Verification failed";
    QTest::newRow("7") << 7 << "eResultAuthFail"
                       << "Authentication failed";
    QTest::newRow("8 has a text but no name") << 8 << "wrong_eResult"
                                              << "Timeout";
    QTest::newRow("9") << 9 << "eResultMissingFile"
                       << "Missing File";
    QTest::newRow("10") << 10 << "eResultFail"
                        << "Failed";
    QTest::newRow("11") << 11 << "wrong_eResult"
                        << "";
    QTest::newRow("negative") << -3 << "wrong_eResult"
                              << "";
}

void tst_ProgressHelper::resultNamesAndTexts()
{
    QFETCH(int, result);
    QFETCH(QString, name);
    QFETCH(QString, text);
    const auto r = static_cast<ProgressHelper::_eResult_t>(result);
    QCOMPARE(ProgressHelper::resultName(r), name);
    ProgressHelper p;
    p.setDone(r);
    QCOMPARE(p.resultText(), text);
}

void tst_ProgressHelper::isDone_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("failCounter");
    QTest::addColumn<bool>("done");
    QTest::newRow("success") << 5 << 0 << true;
    QTest::newRow("failure, attempts left") << 6 << 2 << false;
    QTest::newRow("failure after the last attempt") << 6 << 3 << true;
    QTest::newRow("timeout after the last attempt") << 8 << 4 << true;
    QTest::newRow("transfer with 3 failures") << 3 << 3 << false;
    QTest::newRow("unknown") << 0 << 0 << false;
}

void tst_ProgressHelper::isDone()
{
    QFETCH(int, result);
    QFETCH(int, failCounter);
    QFETCH(bool, done);
    ProgressHelper p;
    p.setDone(static_cast<ProgressHelper::_eResult_t>(result));
    p.m_failCounter = failCounter;
    QCOMPARE(p.isDone(), done);
}

void tst_ProgressHelper::firmwareUpdateFromText()
{
    FirmwareUpdate fw(4, "2.0.5");
    QCOMPARE(fw.m_devType, quint16(4));
    QCOMPARE(fw.m_version, 0x020005u);
    QCOMPARE(fw.m_duration, -1);
    QCOMPARE(fw.m_progress, -1);
    QVERIFY(!fw.hasUpdate());

    FirmwareUpdate copy(fw);
    copy.setUpdateInfo(0x020100, "b.bin");
    QVERIFY(copy.hasUpdate());
    QVERIFY(!fw.hasUpdate());
}

QTEST_GUILESS_MAIN(tst_ProgressHelper)
#include "tst_progresshelper.moc"
