#include <QtTest>

#include "Publisher.h"
#include "common/DevVersionInfo.h"
#include "common/DeviceType.h"
#include "common/FileVersionInfo.h"
#include "common/FirmwareUpdate.h"
#include "common/OtaImageHeader.h"
#include "common/common.h"
#include "content/FirmwareUpdateFileModel.h"
#include "support/LogCapture.h"

class tst_VersionInfo : public QObject
{
    Q_OBJECT
private slots:
    void parseVersion_data();
    void parseVersion();
    void formatVersion_data();
    void formatVersion();
    void versionTexts();
    void xmlAttribute_data();
    void xmlAttribute();
    void byteArrayToHex_data();
    void byteArrayToHex();
    void deviceTypeTable_data();
    void deviceTypeTable();
    void setUpdateInfoAcceptsOnlyNewer();
    void setVersionDropsReachedUpdate();
    void applyUpdateInfo();
    void devVersionAgainstFileModel();
    void otaImageHeader_data();
    void otaImageHeader();
};

void tst_VersionInfo::parseVersion_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<quint32>("expected");
    QTest::newRow("three parts") << "1.2.3" << 0x010203u;
    QTest::newRow("empty") << "" << kNoVersion;
    QTest::newRow("four parts") << "1.2.3.4" << 0u;
    QTest::newRow("non-number and overflow") << "1.x.300" << 0x01002Cu;
    QTest::newRow("one part counts as patch") << "7" << 0x000007u;
    QTest::newRow("two parts count as minor.patch") << "1.2" << 0x000102u;
    QTest::newRow("empty parts") << "1..3" << 0x010003u;
    QTest::newRow("largest") << "255.255.255" << 0xFFFFFFu;
}

void tst_VersionInfo::parseVersion()
{
    QFETCH(QString, text);
    QFETCH(quint32, expected);
    QCOMPARE(::parseVersion(text), expected);
}

void tst_VersionInfo::formatVersion_data()
{
    QTest::addColumn<quint32>("version");
    QTest::addColumn<QString>("expected");
    QTest::newRow("none") << kNoVersion << QString();
    QTest::newRow("top byte ignored") << 0x12010203u << "1.2.3";
    QTest::newRow("no leading zeros") << 0x00000A0Bu << "0.10.11";
    QTest::newRow("zero") << 0u << "0.0.0";
}

void tst_VersionInfo::formatVersion()
{
    QFETCH(quint32, version);
    QFETCH(QString, expected);
    QCOMPARE(::formatVersion(version), expected);
    if (version != kNoVersion && version <= 0xFFFFFFu)
        QCOMPARE(::parseVersion(::formatVersion(version)), version);
}

void tst_VersionInfo::versionTexts()
{
    QCOMPARE(versionPrefixed("1.2.3"), QString("V1.2.3"));
    QCOMPARE(versionChangeHtml("1.0.0", "blue", "", "green", "black", "x"), QString("V1.0.0"));
    QCOMPARE(versionChangeHtml("1.0.0", "blue", "1.1.0", "green", "black", " tail"),
             QString("<font color=\"blue\">V1.0.0</font><img src=\"qrc:/pic/update_arrow.png\"/>"
                     "<font color=\"green\">V1.1.0</font><font color=\"black\"> tail</font>"));

    FirmwareUpdate fw;
    QCOMPARE(fw.versionHtml("green", "red"), QString("V"));
    fw.setVersion(0x010000);
    fw.setUpdateInfo(0x010100, "a.bin");
    QCOMPARE(fw.versionHtml("green", "red"),
             QString("<font color=\"green\">V1.0.0</font><img src=\"qrc:/pic/update_arrow.png\"/>"
                     "<font color=\"red\">V1.1.0</font><font color=\"black\"></font>"));
}

void tst_VersionInfo::xmlAttribute_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << " devid=\"4\" version=\"1.2.7\"/>"
                           << "version"
                           << "1.2.7";
    QTest::newRow("missing") << " devid=\"4\""
                             << "fileName"
                             << "";
    QTest::newRow("no closing quote") << " fileName=\"abc"
                                      << "fileName"
                                      << "abc";
    QTest::newRow("case-sensitive") << " Version=\"1\" version=\"2\""
                                    << "version"
                                    << "2";
    QTest::newRow("empty value") << " sys=\"\""
                                 << "sys"
                                 << "";
    QTest::newRow("needs equals and quote") << " devid 4 devid=\"5\""
                                            << "devid"
                                            << "5";
}

void tst_VersionInfo::xmlAttribute()
{
    QFETCH(QString, line);
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(::xmlAttribute(line, name), expected);
}

void tst_VersionInfo::byteArrayToHex_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("maxBytes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("all") << QByteArray::fromHex("0a7eff") << INT_MAX << "0A 7E FF";
    QTest::newRow("cut") << QByteArray::fromHex("010203") << 2 << "01 02 .. (1 bytes)";
    QTest::newRow("nothing shown") << QByteArray::fromHex("0102") << 0 << ".. (2 bytes)";
    QTest::newRow("empty") << QByteArray() << 4 << "";
    QTest::newRow("exact") << QByteArray::fromHex("0102") << 2 << "01 02";
}

void tst_VersionInfo::byteArrayToHex()
{
    QFETCH(QByteArray, data);
    QFETCH(int, maxBytes);
    QFETCH(QString, expected);
    QCOMPARE(::byteArrayToHex(data, maxBytes), expected);
}

void tst_VersionInfo::deviceTypeTable_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("article");
    QTest::addColumn<bool>("battery");
    QTest::addColumn<bool>("stick");
    QTest::addColumn<bool>("tool");
    QTest::newRow("control element") << 1 << "ZLL control element"
                                     << "K41z-8xxx" << false << false << false;
    QTest::newRow("wall transmitter") << 2 << "ZLL wall-mounted transmitter"
                                      << "K41z/01-8xxx" << true << false << false;
    QTest::newRow("plug") << 4 << "ZLL intermediate plug"
                          << "K47-8xxx-yyy" << false << false << false;
    QTest::newRow("stick") << 6 << "USB stick for Lumoran updates"
                           << "K49-FW" << false << true << false;
    QTest::newRow("tool") << 9999 << "Tool for Lumoran updates"
                          << "K49-SW" << false << false << true;
    QTest::newRow("unknown 3") << 3 << "unknown device 3"
                               << "unknown device 3" << false << false << false;
    QTest::newRow("unknown 0") << 0 << "unknown device 0"
                               << "unknown device 0" << false << false << false;
    QTest::newRow("unknown 10000") << 10000 << "unknown device 10000"
                                   << "unknown device 10000" << false << false << false;
}

void tst_VersionInfo::deviceTypeTable()
{
    QFETCH(int, code);
    QFETCH(QString, name);
    QFETCH(QString, article);
    QFETCH(bool, battery);
    QFETCH(bool, stick);
    QFETCH(bool, tool);
    const quint16 type = quint16(code);
    QCOMPARE(DeviceType::deviceTypeName(type, false), name);
    QCOMPARE(DeviceType::articleNumber(type), article);
    QCOMPARE(DeviceType::isBatteryPowered(type), battery);
    QCOMPARE(DeviceType::isStick(type), stick);
    QCOMPARE(DeviceType::isTool(type), tool);
    QCOMPARE(DeviceType::find(type) != nullptr, !name.startsWith("unknown"));
    if (stick)
        QCOMPARE(DeviceType::codeOf(DeviceType::eKindStick), type);
    if (tool)
        QCOMPARE(DeviceType::codeOf(DeviceType::eKindTool), type);
}

void tst_VersionInfo::setUpdateInfoAcceptsOnlyNewer()
{
    LogCapture log;
    FileVersionInfo info;
    info.setVersion(0x010200);

    info.setUpdateInfo(0x010200, "same.bin"); // equal to present
    info.setUpdateInfo(0x010100, "older.bin");
    info.setUpdateInfo(kNoVersion, "none.bin");
    QVERIFY(!info.hasUpdate());
    QVERIFY(!log.contains("updateInfo:"));

    info.setUpdateInfo(0x010300, "new.bin");
    QVERIFY(info.hasUpdate());
    QCOMPARE(info.updateVersion(), 0x010300u);
    QCOMPARE(info.m_update.fileName, QString("new.bin"));
    QVERIFY(log.contains("updateInfo: ver '1.2.0', m_update.version '1.3.0', file 'new.bin' 'new.bin'"));

    log.clear();
    info.setUpdateInfo(0x010300, "again.bin"); // equal to pending
    QCOMPARE(info.m_update.fileName, QString("new.bin"));
    QVERIFY(!log.contains("updateInfo:"));

    // Unknown present version: any known announcement is newer.
    FileVersionInfo unknown;
    unknown.setUpdateInfo(0, "zero.bin");
    QVERIFY(unknown.hasUpdate());
}

void tst_VersionInfo::setVersionDropsReachedUpdate()
{
    FileVersionInfo info;
    info.setVersion(0x010000);
    info.setUpdateInfo(0x010300, "new.bin");
    info.setVersion(0x010200); // still below the pending update
    QVERIFY(info.hasUpdate());
    info.setVersion(0x010300);
    QVERIFY(!info.hasUpdate());
    QCOMPARE(info.m_update.version, kNoVersion);
    QVERIFY(info.m_update.fileName.isEmpty());

    info.setUpdateInfo(0x020000, "two.bin");
    info.setVersion(kNoVersion); // an unknown version keeps the pending update
    QVERIFY(info.hasUpdate());
}

void tst_VersionInfo::applyUpdateInfo()
{
    FileVersionInfo info;
    info.setVersion(0x010000);
    info.m_fileName = "old.bin";
    info.setUpdateInfoFromXml("<p devid=\"4\" version=\"1.4.2\" fileName=\"dev.bin\"/>");
    QCOMPARE(info.updateVersionString(), QString("1.4.2"));
    info.applyUpdateInfo();
    QCOMPARE(info.m_version, 0x010402u);
    QCOMPARE(info.m_fileName, QString("dev.bin"));
    QVERIFY(!info.hasUpdate());
    QVERIFY(info.updateVersionString().isEmpty());
}

void tst_VersionInfo::devVersionAgainstFileModel()
{
    DevVersionInfo dev;
    dev.m_devType = 4;
    dev.m_version = 0x010000;
    QVERIFY(!dev.hasUpdate()); // no file list
    QCOMPARE(dev.updateVersion(), kNoVersion);

    FirmwareUpdateFileModel model;
    dev.m_catalog = &model;
    QVERIFY(!dev.hasUpdate()); // no record for the type
    QVERIFY(dev.updateVersionString().isEmpty());

    model.addFirmwareFile(4, "1.1.0", "dev.bin", 600);
    QVERIFY(dev.hasUpdate());
    QCOMPARE(dev.updateVersionString(), QString("1.1.0"));
    QCOMPARE(dev.updateVersion(), 0x010100u);

    dev.m_version = 0x010100;
    QVERIFY(!dev.hasUpdate());

    // A record without a known version never offers anything.
    model.addFirmwareFile(1, "", "x.bin", 600);
    DevVersionInfo other;
    other.m_devType = 1;
    other.m_version = 0x000001;
    QVERIFY(!other.hasUpdate());
}

void tst_VersionInfo::otaImageHeader_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("headBytes"); // how much of the file the check sees; -1: all
    QTest::addColumn<int>("expected");
    const int ok = OtaImageHeader::eCheckMatches;
    const int wrong = OtaImageHeader::eCheckWrong;
    const int none = OtaImageHeader::eCheckNoIdentifier;
    // The image of type 4, version 1.2.7, as offered in every row.
    const QByteArray image = Publisher::otaImage(4, 0x010207, 100);
    const auto patched = [&image](int _at, const QByteArray& _bytes) {
        return QByteArray(image).replace(_at, _bytes.size(), _bytes);
    };

    QTest::newRow("its image") << image << -1 << ok;
    QTest::newRow("its image, header read alone") << image << 56 << ok;
    QTest::newRow("longer header within the file") << patched(6, QByteArray::fromHex("3c00")) << -1 << ok;
    QTest::newRow("no identifier") << QByteArray(200, 'x') << -1 << none;
    QTest::newRow("identifier big-endian") << patched(0, QByteArray::fromHex("0beef11e")) << -1 << none;
    QTest::newRow("shorter than the identifier") << image.left(3) << -1 << none;
    QTest::newRow("header cut off") << image.left(40) << -1 << wrong;
    QTest::newRow("header length short of the fields") << patched(6, QByteArray::fromHex("3700")) << -1 << wrong;
    QTest::newRow("header length past the file") << patched(6, QByteArray::fromHex("ffff")) << -1 << wrong;
    QTest::newRow("another manufacturer") << patched(10, QByteArray::fromHex("3412")) << -1 << wrong;
    QTest::newRow("another image type") << Publisher::otaImage(2, 0x010207, 100) << -1 << wrong;
    QTest::newRow("another version") << Publisher::otaImage(4, 0x010206, 100) << -1 << wrong;
    QTest::newRow("a byte more than its total size") << image + 'x' << -1 << wrong;
    QTest::newRow("a byte more, header read alone") << image + 'x' << 56 << wrong;
}

void tst_VersionInfo::otaImageHeader()
{
    QFETCH(QByteArray, file);
    QFETCH(int, headBytes);
    QFETCH(int, expected);
    QString why;
    const OtaImageHeader::Check_t result =
        headBytes < 0 ? OtaImageHeader::check(file, 4, 0x010207, &why)
                      : OtaImageHeader::check(file.left(headBytes), file.size(), 4, 0x010207, &why);
    QCOMPARE(int(result), expected);
    QCOMPARE(why.isEmpty(), expected != OtaImageHeader::eCheckWrong);
}

QTEST_GUILESS_MAIN(tst_VersionInfo)
#include "tst_versioninfo.moc"
