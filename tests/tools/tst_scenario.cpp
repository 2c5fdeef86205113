#include <QtTest>

#include "Scenario.h"

// Reading scenario files: values, inherited defaults and the error messages
// that name the bad field.
class tst_Scenario : public QObject
{
    Q_OBJECT
private slots:
    void readsFieldsAndDefaults();
    void rejectsBadInput_data();
    void rejectsBadInput();
    void versionTexts_data();
    void versionTexts();
    void shippedScenariosAreValid_data();
    void shippedScenariosAreValid();
};

void tst_Scenario::readsFieldsAndDefaults()
{
    const QByteArray json = R"({
        "seed": 42, "stopAfterMs": 90000, "stopWhenNoImage": true,
        "timing": {"maxRetries": 3, "queryIntervalMs": 1111, "stickQueryIntervalMs": 2222, "restartDelayMs": 444,
                   "stickRestartDelayMs": 555, "requestMaxRetries": 7},
        "stick": {"version": "2.3.4", "shortAddress": "0x0001", "networkId": "0x00112233445566ff"},
        "devices": [
            {"shortAddress": "0x1A2B", "type": 2, "version": "1.0.255", "manufacturer": 4660, "maxDataSize": 50,
             "restartAtOffset": 2048, "keepOldVersion": true, "silentAfterMs": 60000, "silentAtOffset": 4096},
            {"shortAddress": 2, "type": 4, "version": "1.0.0", "queryIntervalMs": 99}
        ],
        "faults": {"corruptShare": 0.05, "repeatSeqShare": 1,
                   "linkCuts": [{"atMs": 30000, "forMs": 10000}, {"atMs": "90000", "forMs": 500}],
                   "networkIdChangeAtMs": 120000, "stickRestartsAtMs": [5000, 7000]}
    })";
    Scenario s;
    QString error;
    QVERIFY2(Scenario::fromJson(json, s, error), qPrintable(error));

    QCOMPARE(s.seed, 42u);
    QCOMPARE(s.stopAfterMs, 90000);
    QVERIFY(s.stopWhenNoImage);
    QCOMPARE(s.timing.maxRetries, 3);
    QCOMPARE(s.timing.replyTimeoutMs, 1000); // default
    QCOMPARE(s.stick.client.version, 0x020304u);
    QCOMPARE(s.stick.client.shortAddress, quint16(1));
    QCOMPARE(s.stick.client.imageType, quint16(6));
    QCOMPARE(s.stick.client.queryIntervalMs, 2222); // the stick's own timing
    QCOMPARE(s.stick.client.restartDelayMs, 555);
    QCOMPARE(s.stick.networkId, QByteArray::fromHex("00112233445566ff"));
    QCOMPARE(s.stick.networkState, quint8(3));

    QCOMPARE(s.devices.size(), 2);
    const SimClientConfig& d = s.devices.first();
    QCOMPARE(d.shortAddress, quint16(0x1A2B));
    QCOMPARE(d.version, 0x0100FFu);
    QCOMPARE(d.manufacturer, quint16(0x1234));
    QCOMPARE(d.maxDataSize, 50);
    QCOMPARE(d.restartAtOffset, 2048);
    QVERIFY(d.keepOldVersion);
    QCOMPARE(d.silentAfterMs, 60000);
    QCOMPARE(d.silentAtOffset, 4096);
    QCOMPARE(d.queryIntervalMs, 1111); // inherited from the timing
    QCOMPARE(d.restartDelayMs, 444);
    QCOMPARE(d.requestMaxRetries, 7);
    QCOMPARE(s.devices.at(1).queryIntervalMs, 99); // its own wins
    QCOMPARE(s.devices.at(1).manufacturer, quint16(0x1C3D));
    QCOMPARE(s.devices.at(1).maxDataSize, 64);

    QCOMPARE(s.faults.corruptShare, 0.05);
    QCOMPARE(s.faults.repeatSeqShare, 1.0);
    QCOMPARE(s.faults.linkCuts.size(), 2);
    QCOMPARE(s.faults.linkCuts.at(1).atMs, 90000);
    QCOMPARE(s.faults.linkCuts.at(1).forMs, 500);
    QCOMPARE(s.faults.networkIdChangeAtMs, 120000);
    QCOMPARE(s.faults.stickRestartsAtMs, (QList<qint64>{5000, 7000}));
}

void tst_Scenario::rejectsBadInput_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("error");

    const QByteArray stick = R"("stick": {"version": "1.0.0"})";
    QTest::newRow("broken JSON") << QByteArray("{\n  \"seed\": 1,\n  \"stick\" {}\n}")
                                 << "not valid JSON at line 3, column 12";
    QTest::newRow("not an object") << QByteArray("[1, 2]") << "the scenario must be a JSON object";
    QTest::newRow("no stick") << QByteArray("{}") << "stick: missing";
    QTest::newRow("unknown top field") << "{" + stick + R"(, "devcies": []})"
                                       << "devcies: unknown field";
    QTest::newRow("unknown device field")
        << "{" + stick + R"(, "devices": [{"shortAddress": 1, "type": 1, "version": "1.0.0", "restartAtOfset": 5}]})"
        << "devices[0].restartAtOfset: unknown field";
    QTest::newRow("bad version") << "{" + stick + R"(, "devices": [{"shortAddress": 1, "type": 1, "version": "1.0.0"},
                                         {"shortAddress": 2, "type": 1, "version": "1.256.0"}]})"
                                 << "devices[1].version: \"1.256.0\" is not a version";
    QTest::newRow("device of the stick's type")
        << "{" + stick + R"(, "devices": [{"shortAddress": 1, "type": 6, "version": "1.0.0"}]})"
        << "devices[0].type: 6 is the stick's own image type";
    QTest::newRow("address taken by the stick")
        << "{" + stick + R"(, "devices": [{"shortAddress": 0, "type": 1, "version": "1.0.0"}]})"
        << "devices[0].shortAddress: 0x0000 is already taken";
    QTest::newRow("address twice") << "{" + stick +
                                          R"(, "devices": [{"shortAddress": "0x1a2b", "type": 1, "version": "1.0.0"},
                                         {"shortAddress": 6699, "type": 2, "version": "1.0.0"}]})"
                                   << "devices[1].shortAddress: 0x1a2b is already taken";
    QTest::newRow("fraction") << "{" + stick + R"(, "timing": {"replyTimeoutMs": 10.5}})"
                              << "timing.replyTimeoutMs: not a whole number";
    QTest::newRow("hex garbage") << QByteArray(R"({"stick": {"version": "1.0.0", "shortAddress": "0xzz"}})")
                                 << "stick.shortAddress: not a number: \"0xzz\"";
    QTest::newRow("short network id") << QByteArray(R"({"stick": {"version": "1.0.0", "networkId": "0011"}})")
                                      << "stick.networkId: expected 16 hexadecimal digits";
    QTest::newRow("share above one") << "{" + stick + R"(, "faults": {"corruptShare": 1.5}})"
                                     << "faults.corruptShare: 1.5 is not a share from 0 to 1";
    QTest::newRow("link cut without length") << "{" + stick + R"(, "faults": {"linkCuts": [{"atMs": 5}]}})"
                                             << "faults.linkCuts[0].forMs: missing";
    QTest::newRow("restart time negative") << "{" + stick + R"(, "faults": {"stickRestartsAtMs": [1, -2]}})"
                                           << "faults.stickRestartsAtMs[1]: expected milliseconds";
    QTest::newRow("deaf without length") << "{" + stick + R"(, "faults": {"deafAtMs": 5}})"
                                         << "faults.deafForMs: \"deafAtMs\" and \"deafForMs\" go together";
    QTest::newRow("new version without its time")
        << "{" + stick + R"(, "devices": [{"shortAddress": 1, "type": 1, "version": "1.0.0", "newVersion": "2.0.0"}]})"
        << "devices[0].newVersion: \"newVersion\" and \"newVersionAtMs\" go together";
}

void tst_Scenario::rejectsBadInput()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, error);
    Scenario s;
    s.seed = 99;
    QString message;
    QVERIFY(!Scenario::fromJson(json, s, message));
    QVERIFY2(message.startsWith(error), qPrintable(message));
    QCOMPARE(s.seed, 99u); // the target is left alone
}

void tst_Scenario::versionTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<quint32>("version");
    QTest::newRow("plain") << "1.2.3" << true << 0x010203u;
    QTest::newRow("limits") << "255.0.255" << true << 0xFF00FFu;
    QTest::newRow("two parts") << "1.2" << false << 0u;
    QTest::newRow("four parts") << "1.2.3.4" << false << 0u;
    QTest::newRow("part too large") << "1.2.256" << false << 0u;
    QTest::newRow("empty part") << "1..3" << false << 0u;
    QTest::newRow("sign") << "1.+2.3" << false << 0u;
    QTest::newRow("letters") << "1.a.3" << false << 0u;
}

void tst_Scenario::versionTexts()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(quint32, version);
    quint32 parsed = 0xDEADBEEF;
    QCOMPARE(Scenario::parseVersionText(text, parsed), valid);
    if (valid)
        QCOMPARE(parsed, version);
}

void tst_Scenario::shippedScenariosAreValid_data()
{
    QTest::addColumn<QString>("path");
    const QDir dir(STICKSIM_SCENARIO_DIR);
    const QStringList files = dir.entryList({"*.json"}, QDir::Files);
    QVERIFY(files.contains("demo.json"));
    for (const QString& file : files)
        QTest::newRow(qPrintable(file)) << dir.filePath(file);
}

void tst_Scenario::shippedScenariosAreValid()
{
    QFETCH(QString, path);
    Scenario s;
    QString error;
    QVERIFY2(Scenario::load(path, s, error), qPrintable(error));
    QVERIFY(!s.devices.isEmpty());
}

QTEST_GUILESS_MAIN(tst_Scenario)
#include "tst_scenario.moc"
