#include <QDir>
#include <QNetworkProxy>
#include <QScopeGuard>
#include <QTcpServer>
#include <QtTest>

#include "bridge/CProg2Gui.h"
#include "bridge/HelpTexts.h"
#include "common/settings.h"
#include "content/FirmwareUpdateFileModel.h"
#include "content/UpdateIndex.h"
#include "link/CSerialPortHandler.h"
#include "link/StickInterface.h"
#include "support/LogCapture.h"
#include "support/StickFrames.h"
#include "support/TestSettings.h"

namespace {
// What the window depends on: one row per method, in meta-object order.
struct MethodRow
{
    QMetaMethod::MethodType type;
    const char* signature;
    const char* parameterNames;
};

const QList<MethodRow> kMethods{
    {QMetaMethod::Signal, "langChanged(QString)", "arg"},
    {QMetaMethod::Signal, "translateHelperChanged(QString)", "arg"},
    {QMetaMethod::Signal, "stickRefreshHelperChanged(QString)", "arg"},
    {QMetaMethod::Signal, "helpBoxHelperChanged(QString)", "arg"},
    {QMetaMethod::Signal, "helperFlagChanged(bool)", "arg"},
    {QMetaMethod::Signal, "initCompletedChanged(bool)", "arg"},
    {QMetaMethod::Signal, "applDataRepaint()", ""},
    {QMetaMethod::Signal, "stickDataRepaint()", ""},
    {QMetaMethod::Signal, "firmwareDataRepaint()", ""},
    {QMetaMethod::Signal, "deviceDataRepaint()", ""},
    {QMetaMethod::Signal, "sysStateChanged()", ""},
    {QMetaMethod::Signal, "quitApplication()", ""},
    {QMetaMethod::Signal, "displayErrorWindow(QVariant)", "value"},
    {QMetaMethod::Slot, "setLang(QString)", "arg"},
    {QMetaMethod::Slot, "setTranslateHelper(QString)", "arg"},
    {QMetaMethod::Slot, "setStickRefreshHelper(QString)", "arg"},
    {QMetaMethod::Slot, "setHelpBoxHelper(QString)", "arg"},
    {QMetaMethod::Slot, "setHelperFlag(bool)", "arg"},
    {QMetaMethod::Slot, "setInitCompleted(bool)", "arg"},
    {QMetaMethod::Slot, "processUpdateXml()", ""},
    {QMetaMethod::Slot, "processAuthFailed()", ""},
    {QMetaMethod::Slot, "failedUpdateXml()", ""},
    {QMetaMethod::Slot, "timeoutUpdateXml()", ""},
    {QMetaMethod::Slot, "textChanged(int)", ""},
    {QMetaMethod::Slot, "getLicenceText()", ""},
    {QMetaMethod::Slot, "stickDataChangedSlot()", ""},
    {QMetaMethod::Slot, "updateHelp()", ""},
    {QMetaMethod::Method, "getLang(int)", "_Num"},
    {QMetaMethod::Method, "getText(ValId_t)", "_TxtId"},
    {QMetaMethod::Method, "boGetVal(ValId_t)", "_ValId"},
    {QMetaMethod::Method, "iGetVal(ValId_t)", "_ValId"},
    {QMetaMethod::Method, "qmlAction(QmlAction_t)", "_action"},
    {QMetaMethod::Method, "isHighlightState(Highlight_t)", "_Highlight"},
    {QMetaMethod::Method, "SysState()", ""},
    {QMetaMethod::Method, "isSysState(SysState_t)", "_SysState"},
};

QMap<QString, int> enumValues(const char* _name)
{
    const QMetaObject& meta = CProg2Gui::staticMetaObject;
    const QMetaEnum metaEnum = meta.enumerator(meta.indexOfEnumerator(_name));
    QMap<QString, int> values;
    for (int i = 0; i < metaEnum.keyCount(); ++i)
        values.insert(metaEnum.key(i), metaEnum.value(i));
    return values;
}

// "Name=1 Other=2" as a map.
QMap<QString, int> enumTable(const QString& _text)
{
    QMap<QString, int> values;
    for (const QString& pair : _text.split(' ', Qt::SkipEmptyParts))
        values.insert(pair.section('=', 0, 0), pair.section('=', 1).toInt());
    return values;
}

// A row of device type 4 whose pending update is selected (rows start selected).
void offerDeviceUpdate(FirmwareUpdateFileModel* _model)
{
    UpdateIndex::Record record;
    record.devType = 4;
    record.application = "plug";
    record.version = 0x010000;
    record.fileName = "plug_1.0.0.bin";
    _model->updateFirmwareFileData(record);
    record.version = 0x010100;
    record.fileName = "plug_1.1.0.bin";
    _model->updateFirmwareFileData(record);
}
} // namespace

#include "tst_bridge.h"

void tst_Bridge::initTestCase()
{
    // No test here may find a real serial port.
    CSerialPortHandler::setPortListFunction([] { return QStringList(); });
}

void tst_Bridge::metaObjectInterface()
{
    const QMetaObject& meta = CProg2Gui::staticMetaObject;
    QCOMPARE(meta.methodCount() - meta.methodOffset(), kMethods.size());
    for (int i = 0; i < kMethods.size(); ++i) {
        const QMetaMethod method = meta.method(meta.methodOffset() + i);
        QCOMPARE(method.methodSignature(), QByteArray(kMethods.at(i).signature));
        QCOMPARE(method.methodType(), kMethods.at(i).type);
        QCOMPARE(method.parameterNames().join(','), QByteArray(kMethods.at(i).parameterNames));
    }
    QCOMPARE(meta.method(meta.indexOfMethod("getLicenceText()")).returnType(), int(QMetaType::QString));

    const QList<QPair<const char*, const char*>> properties{
        {"lang", "langChanged"},
        {"translateHelper", "translateHelperChanged"},
        {"stickRefreshHelper", "stickRefreshHelperChanged"},
        {"helpBoxHelper", "helpBoxHelperChanged"},
        {"helperFlag", "helperFlagChanged"},
        {"initCompleted", "initCompletedChanged"},
        {"langListModel", nullptr},
        {"firmwareUpdateFileModel", nullptr},
        {"zigBeeDeviceModel", nullptr},
    };
    QCOMPARE(meta.propertyCount() - meta.propertyOffset(), properties.size());
    for (int i = 0; i < properties.size(); ++i) {
        const QMetaProperty property = meta.property(meta.propertyOffset() + i);
        QCOMPARE(property.name(), properties.at(i).first);
        if (properties.at(i).second) {
            QVERIFY(property.isWritable());
            QCOMPARE(property.notifySignal().name(), QByteArray(properties.at(i).second));
        } else {
            QVERIFY(property.isConstant());
            QCOMPARE(property.typeName(), "QObject*");
        }
    }

    // The numbers QML passes and receives.
    QCOMPARE(enumValues("SysState_t"), enumTable("SysStateInit=0 SysStateIdle=1 SysStateDeviceUpdate=2 "
                                                 "SysStateStickUpdate=3 SysStateProgUpdate=4 "
                                                 "SysStateUpdateDownload=5 SysStateError=6"));
    QCOMPARE(enumValues("Highlight_t"), enumTable("HighlightNone=0 HighlightApplication=1 HighlightStickUpdate=2 "
                                                  "HighlightFileDownload=3 HighlightDeviceUpdate=4"));
    QCOMPARE(enumValues("QmlAction_t"),
             enumTable("StartFileDownload_QmlAction=1 StartDeviceUpdate_QmlAction=2 AbortDeviceUpdate_QmlAction=3 "
                       "OpenHelp_QmlAction=4 DoToolUpdate_QmlAction=5 DoStickUpdate_QmlAction=6 "
                       "ResetToFN_QmlAction=10 CommonFileSelector_QmlAction=20 OpenReport_QmlAction=21 "
                       "OpenFolder_QmlAction=22"));
    QCOMPARE(enumValues("ValId_t"),
             enumTable("StickVersionTxt_ValId=11 StickConnectStateTxt_ValId=12 ConnectedNetworkStatus_ValId=13 "
                       "LangCount_ValId=20 LangIndex_ValId=21 ApplName_ValId=25 ApplVersion_ValId=26 "
                       "ApplCopyright_ValId=27 ApplActVersion_ValId=28 ApplLicence_ValId=29 "
                       "StickUpdateProgressVisible_ValId=30 StickUpdateProgress_ValId=31 "
                       "StickUpdateDoneImg_ValId=32 StickUpdateAvailable_ValId=41 FirmwareSelectState_ValId=50 "
                       "ServerErrorTxt_ValId=51 DeviceCombinedProgressVisible_ValId=70 "
                       "DeviceCombinedProgressPercent_ValId=71 DeviceCombinedProgressText_ValId=72 "
                       "DeviceCountTxt_ValId=73 DeviceUpdateButton_ValId=100 DeviceAbortButton_ValId=101 "
                       "FileUpdateButton_ValId=102 StickUpdateButtonEnabled_ValId=103 "
                       "StickJoinNewNwButtonEnabled_ValId=104 ApplUpdateButton_ValId=105 HelpBoxTxt_ValId=1000 "
                       "ReportButton_ValId=1001"));
    QCOMPARE(enumValues("UpdateXmlState_t"), enumTable("eUpdateXmlStateUnknown=0 eUpdateXmlStateOk=1 "
                                                       "eUpdateXmlStateTimeout=2 eUpdateXmlStateWrong=3 "
                                                       "eUpdateXmlStateOutdated=4"));
}

void tst_Bridge::firstStartWritesEverySetting_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("value");
    QTest::newRow("UpdateFile") << "update/UpdateFile" << QVariant("update");
    QTest::newRow("UpdateExt") << "update/UpdateExt" << QVariant("xml");
    QTest::newRow("UpdateSigExt") << "update/UpdateSigExt" << QVariant("sig");
    QTest::newRow("UpdateUrl") << "update/UpdateUrl" << QVariant("http://update.vandrel.example/lumoran/");
    QTest::newRow("minSize") << "download/minSize" << QVariant(1000);
    QTest::newRow("maxSize") << "download/maxSize" << QVariant(20000);
    QTest::newRow("searchText1") << "download/searchText1" << QVariant(QByteArray("www.vandrel.example"));
    QTest::newRow("searchText2") << "download/searchText2" << QVariant(QByteArray("<!doctype html>"));
    QTest::newRow("searchText3") << "download/searchText3" << QVariant(QByteArray("Vandrel Online-Katalog"));
    QTest::newRow("searchText4") << "download/searchText4" << QVariant(QByteArray("404 Not Found"));
    QTest::newRow("comment") << "download/comment"
                             << QVariant("detect the TARN 'file not found' page if size matches and txt1..3 found");
    QTest::newRow("uselogfile") << "applSettings/uselogfile" << QVariant(false);
    QTest::newRow("logfile") << "applSettings/logfile" << QVariant(QCoreApplication::applicationName() + ".log");
    QTest::newRow("lang") << "applSettings/lang" << QVariant(QString());
    QTest::newRow("fontpointSize") << "applWinSettings/fontpointSize" << QVariant(8.0);
    QTest::newRow("width") << "applWinSettings/width" << QVariant(1024);
    QTest::newRow("height") << "applWinSettings/height" << QVariant(768);
    QTest::newRow("serial ports") << "serial/ports" << QVariant(QString());
}

void tst_Bridge::firstStartWritesEverySetting()
{
    QFETCH(QString, key);
    QFETCH(QVariant, value);

    TestSettings settings;
    settings.settings()->remove("update/UpdateUrl");
    // The default server's name is never looked up: its index request goes
    // to a proxy on loopback that refuses it.
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 refusingPort = probe.serverPort();
    probe.close();
    QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", refusingPort));
    applDirPath = settings.folder(); // no translations, no production.ini
    QVERIFY(!QDir(getTempPath()).exists());
    // A script the last self-update left behind.
    QVERIFY(QDir().mkpath(getUpdatePath()));
    QFile leftover(ToolUpdater::getUpdateStarterPath());
    QVERIFY(leftover.open(QIODevice::WriteOnly));
    leftover.close();

    {
        CProg2Gui bridge;
        QVERIFY(!QFile::exists(ToolUpdater::getUpdateStarterPath()));
        QVERIFY(QDir(getTempPath()).exists());
        QCOMPARE(bridge.updateXmlDownloader().url(), QString("http://update.vandrel.example/lumoran//update.xml"));
        QTRY_COMPARE(bridge.updateXmlState(), CProg2Gui::eUpdateXmlStateWrong);
    }
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);

    // Read back from the file itself.
    QSettings file(settings.settings()->fileName(), QSettings::IniFormat);
    QVERIFY2(file.contains(key), qPrintable(key));
    const QVariant stored = file.value(key);
    if (value.type() == QVariant::ByteArray) {
        QCOMPARE(stored.type(), QVariant::ByteArray); // Qt's byte-array notation in the INI file
        QCOMPARE(stored.toByteArray(), value.toByteArray());
    } else {
        QCOMPARE(stored.toString(), value.toString());
    }

    QSettings backup(getUpdatePath() + "/backup.ini", QSettings::IniFormat);
    QVERIFY(backup.contains("devices/known_devices"));
    QVERIFY(backup.contains("devices/keep_old"));
    QCOMPARE(backup.value("devices/keep_old").toBool(), false);
    applDirPath.clear();
}

void tst_Bridge::laterStartKeepsUserValues()
{
    TestSettings settings;
    applDirPath = settings.folder();
    settings.settings()->setValue("update/UpdateUrl", "http://127.0.0.1:0/mirror/");
    settings.settings()->setValue("download/minSize", 5);
    settings.settings()->setValue("download/searchText1", QByteArray("www.example.org"));
    settings.settings()->setValue("download/comment", "changed by hand");
    settings.settings()->setValue("applSettings/uselogfile", true);
    settings.settings()->setValue("applWinSettings/width", 1400);
    {
        CProg2Gui bridge;
        QCOMPARE(bridge.updateXmlDownloader().url(), QString("http://127.0.0.1:0/mirror//update.xml"));
    }
    QSettings file(settings.settings()->fileName(), QSettings::IniFormat);
    QCOMPARE(file.value("update/UpdateUrl").toString(), QString("http://127.0.0.1:0/mirror/"));
    QCOMPARE(file.value("download/minSize").toInt(), 5);
    QCOMPARE(file.value("download/searchText1").toByteArray(), QByteArray("www.example.org"));
    QCOMPARE(file.value("applSettings/uselogfile").toBool(), true);
    QCOMPARE(file.value("applWinSettings/width").toInt(), 1400);
    // The comment is the tool's own text.
    QCOMPARE(file.value("download/comment").toString(),
             QString("detect the TARN 'file not found' page if size matches and txt1..3 found"));
    applDirPath.clear();
}

void tst_Bridge::refreshTriggers()
{
    BridgeHarness harness;
    CProg2Gui& bridge = *harness.bridge;
    QSignalSpy translate(&bridge, &CProg2Gui::translateHelperChanged);
    QSignalSpy stickRefresh(&bridge, &CProg2Gui::stickRefreshHelperChanged);
    QSignalSpy helpBox(&bridge, &CProg2Gui::helpBoxHelperChanged);
    QSignalSpy stickRepaint(&bridge, &CProg2Gui::stickDataRepaint);
    QSignalSpy flag(&bridge, &CProg2Gui::helperFlagChanged);

    // Written values are announced but never stored.
    QVERIFY(bridge.setProperty("translateHelper", "x"));
    QVERIFY(bridge.setProperty("stickRefreshHelper", "y"));
    QVERIFY(bridge.setProperty("helpBoxHelper", "z"));
    QCOMPARE(translate.takeFirst().at(0).toString(), QString("x"));
    QCOMPARE(stickRefresh.takeFirst().at(0).toString(), QString("y"));
    QCOMPARE(helpBox.takeFirst().at(0).toString(), QString("z"));
    for (const char* name : {"translateHelper", "stickRefreshHelper", "helpBoxHelper"})
        QCOMPARE(bridge.property(name).toString(), QString());

    // A stick text change refreshes every translated text; a new stick
    // version repaints the stick box, then its texts.
    harness.connectStick();
    QVERIFY(translate.count() >= 1);
    QCOMPARE(translate.last().at(0).toString(), bridge.lang());
    stickRepaint.clear();
    stickRefresh.clear();
    QStringList order;
    connect(&bridge, &CProg2Gui::stickDataRepaint, this, [&] { order << "repaint"; });
    connect(&bridge, &CProg2Gui::stickRefreshHelperChanged, this, [&] { order << "refresh"; });
    harness.exchange(nwkStatus(StickInterface::eNwkStateJoined));
    QCOMPARE(order.mid(0, 2), (QStringList{"repaint", "refresh"}));
    QCOMPARE(stickRefresh.first().at(0).toString(), QString());

    // The flag logs and emits only on a change.
    LogCapture log;
    bridge.setHelperFlag(false);
    QCOMPARE(flag.count(), 0);
    bridge.setHelperFlag(true);
    bridge.setHelperFlag(true);
    QCOMPARE(flag.count(), 1);
    QVERIFY(bridge.helperFlag());
    QCOMPARE(log.count("setHelperFlag true"), 1);
    QCOMPARE(log.count("setHelperFlag false"), 0);
}

void tst_Bridge::valueDispatch_data()
{
    QTest::addColumn<int>("sysState");
    QTest::addColumn<int>("nwkState");   // -1: no stick connected
    QTest::addColumn<int>("stickOffer"); // 0 none, 1 offered, 2 offered and the stick reported an older version
    QTest::addColumn<bool>("stickTransfer");
    QTest::addColumn<bool>("toolPending");
    QTest::addColumn<bool>("fileSelected");
    // The enabled buttons 100..105 as a string of 0/1, then value 70.
    QTest::addColumn<QString>("buttons");
    QTest::addColumn<bool>("progressVisible");
    QTest::addColumn<int>("highlight");

    const int idle = CProg2Gui::SysStateIdle;
    QTest::newRow("idle, no stick") << idle << -1 << 0 << false << false << false << "000000" << false
                                    << int(CProg2Gui::HighlightNone);
    QTest::newRow("no stick, stick offer only")
        << idle << -1 << 1 << false << false << false << "000000" << false << int(CProg2Gui::HighlightNone);
    QTest::newRow("no stick, tool pending")
        << idle << -1 << 0 << false << true << false << "000001" << false << int(CProg2Gui::HighlightApplication);
    QTest::newRow("no stick, file and tool")
        << idle << -1 << 1 << false << true << true << "001001" << false << int(CProg2Gui::HighlightFileDownload);
    QTest::newRow("stick, network unknown")
        << idle << 4 << 0 << false << false << false << "000000" << false << int(CProg2Gui::HighlightNone);
    QTest::newRow("stick, disconnected") << idle << 0 << 0 << false << false << false << "000010" << false
                                         << int(CProg2Gui::HighlightNone);
    QTest::newRow("stick, discovering") << idle << 1 << 0 << false << false << false << "000000" << false
                                        << int(CProg2Gui::HighlightNone);
    QTest::newRow("stick, discovery failed")
        << idle << 2 << 0 << false << false << false << "000010" << false << int(CProg2Gui::HighlightNone);
    QTest::newRow("stick, joined") << idle << 3 << 0 << false << false << false << "100010" << false
                                   << int(CProg2Gui::HighlightDeviceUpdate);
    QTest::newRow("joined, stick offer") << idle << 3 << 2 << false << false << false << "100110" << false
                                         << int(CProg2Gui::HighlightStickUpdate);
    QTest::newRow("joined, stick offer, stick version not reported yet")
        << idle << 3 << 1 << false << false << false << "100010" << false << int(CProg2Gui::HighlightDeviceUpdate);
    QTest::newRow("joined, stick offer, tool pending")
        << idle << 3 << 2 << false << true << false << "100111" << false << int(CProg2Gui::HighlightApplication);
    QTest::newRow("joined, everything pending")
        << idle << 3 << 2 << false << true << true << "101111" << false << int(CProg2Gui::HighlightFileDownload);
    QTest::newRow("joined, stick transfer under way")
        << idle << 3 << 2 << true << false << false << "100010" << false << int(CProg2Gui::HighlightDeviceUpdate);
    QTest::newRow("device update run") << int(CProg2Gui::SysStateDeviceUpdate) << 3 << 2 << false << true << true
                                       << "010000" << true << int(CProg2Gui::HighlightNone);
    // Cancel ends a stick update too.
    QTest::newRow("stick update") << int(CProg2Gui::SysStateStickUpdate) << 3 << 2 << false << true << true << "010000"
                                  << false << int(CProg2Gui::HighlightNone);
    // And a download.
    QTest::newRow("file download") << int(CProg2Gui::SysStateUpdateDownload) << 3 << 2 << false << true << true
                                   << "010000" << false << int(CProg2Gui::HighlightNone);
}

void tst_Bridge::valueDispatch()
{
    QFETCH(int, sysState);
    QFETCH(int, nwkState);
    QFETCH(int, stickOffer);
    QFETCH(bool, stickTransfer);
    QFETCH(bool, toolPending);
    QFETCH(bool, fileSelected);
    QFETCH(QString, buttons);
    QFETCH(bool, progressVisible);
    QFETCH(int, highlight);

    BridgeHarness harness;
    CProg2Gui& bridge = *harness.bridge;
    if (nwkState >= 0) {
        harness.connectStick();
        if (nwkState != StickInterface::eNwkStateUnknown)
            harness.exchange(nwkStatus(quint8(nwkState)));
        QCOMPARE(harness.stick->nwkState(), nwkState);
    }
    if (stickOffer > 0)
        harness.stick->setStickUpdateInfo(0x020000, "stick_2.0.0.bin");
    if (stickOffer > 1)
        harness.exchange(StickFrames::queryNextImage(9, 0x0001, 6, 0x010000));
    if (stickTransfer)
        bridge.qmlAction(CProg2Gui::DoStickUpdate_QmlAction);
    if (toolPending)
        bridge.setApplUpdateInfo(0x010300, "tool_1.3.0.bin");
    if (fileSelected)
        offerDeviceUpdate(bridge.fileModel());
    bridge.setSysState(CProg2Gui::SysState_t(sysState));

    QString enabled;
    for (int id = CProg2Gui::DeviceUpdateButton_ValId; id <= CProg2Gui::ApplUpdateButton_ValId; ++id)
        enabled += bridge.boGetVal(CProg2Gui::ValId_t(id)) ? '1' : '0';
    QCOMPARE(enabled, buttons);
    QCOMPARE(bridge.boGetVal(CProg2Gui::DeviceCombinedProgressVisible_ValId), progressVisible);
    for (int h = CProg2Gui::HighlightNone; h <= CProg2Gui::HighlightDeviceUpdate; ++h)
        QCOMPARE(bridge.isHighlightState(CProg2Gui::Highlight_t(h)), h == highlight);
}

void tst_Bridge::unknownIdsAndTexts()
{
    // A folder of its own: the build puts translations next to the test.
    QTemporaryDir appDir;
    applDirPath = appDir.path();
    const auto restore = qScopeGuard([] { applDirPath.clear(); });
    BridgeHarness harness;
    CProg2Gui& bridge = *harness.bridge;
    LogCapture log;

    // 41 is declared for the window but has no value.
    QCOMPARE(bridge.getText(CProg2Gui::StickUpdateAvailable_ValId), QString("wrong txt Id 41"));
    QVERIFY(!bridge.boGetVal(CProg2Gui::StickUpdateAvailable_ValId));
    QCOMPARE(bridge.iGetVal(CProg2Gui::StickUpdateAvailable_ValId), -1);
    QCOMPARE(bridge.getText(CProg2Gui::DeviceUpdateButton_ValId), QString("wrong txt Id 100"));
    QCOMPARE(bridge.iGetVal(CProg2Gui::HelpBoxTxt_ValId), -1);
    QVERIFY(!bridge.boGetVal(CProg2Gui::ApplName_ValId));
    QCOMPARE(log.count("wrong txt Id 41"), 1);
    QCOMPARE(log.count("wrong _ValId 41"), 2);
    QCOMPARE(log.count("wrong _ValId 1000"), 1);
    QCOMPARE(log.count("wrong _ValId 25"), 1);

    QCOMPARE(bridge.getText(CProg2Gui::ApplName_ValId), QString("Vandrel Lumoran Tool"));
    QCOMPARE(bridge.getText(CProg2Gui::ApplCopyright_ValId), QString("© 2026 Vandrel. All rights reserved."));
    QCOMPARE(bridge.getText(CProg2Gui::ApplActVersion_ValId), QString("V1.2.0"));
    QCOMPARE(bridge.getText(CProg2Gui::ApplVersion_ValId), QString("V1.2.0"));
    // The stick's texts come from the stick interface.
    QCOMPARE(bridge.getText(CProg2Gui::StickConnectStateTxt_ValId), harness.stick->getText(12));
    harness.connectStick();
    QCOMPARE(bridge.getText(CProg2Gui::StickConnectStateTxt_ValId), QString("connected"));
    QCOMPARE(bridge.getText(CProg2Gui::StickUpdateDoneImg_ValId), QString());

    // A pending tool version shows the arrow and both versions.
    bridge.setApplUpdateInfo(0x010300, "tool_1.3.0.bin");
    const QString version = bridge.getText(CProg2Gui::ApplVersion_ValId);
    QVERIFY2(version.contains("<font color=\"blue\">V1.2.0</font>"), qPrintable(version));
    QVERIFY(version.contains("qrc:/pic/update_arrow.png"));
    QVERIFY(version.contains("<font color=\"green\">V1.3.0</font>"));
    QCOMPARE(bridge.getText(CProg2Gui::ApplActVersion_ValId), QString("V1.2.0"));

    // The languages of a tool without translations.
    QCOMPARE(bridge.iGetVal(CProg2Gui::LangCount_ValId), 0);
    QCOMPARE(bridge.iGetVal(CProg2Gui::LangIndex_ValId), -1);
    QCOMPARE(bridge.getLang(0), QString());

    bridge.qmlAction(CProg2Gui::QmlAction_t(7));
    QCOMPARE(log.count("unknown QML action 7"), 1);
}

void tst_Bridge::highlightEmitsOncePerChange()
{
    BridgeHarness harness;
    CProg2Gui& bridge = *harness.bridge;
    bridge.isHighlightState(CProg2Gui::HighlightNone); // settle on this situation

    QStringList order;
    connect(&bridge, &CProg2Gui::applDataRepaint, this, [&] { order << "appl"; });
    connect(&bridge, &CProg2Gui::firmwareDataRepaint, this, [&] { order << "firmware"; });
    connect(&bridge, &CProg2Gui::stickDataRepaint, this, [&] { order << "stick"; });
    connect(&bridge, &CProg2Gui::deviceDataRepaint, this, [&] { order << "device"; });

    QVERIFY(bridge.isHighlightState(CProg2Gui::HighlightNone));
    QVERIFY(order.isEmpty());

    bridge.setApplUpdateInfo(0x010300, "tool_1.3.0.bin");
    QVERIFY(!bridge.isHighlightState(CProg2Gui::HighlightNone));
    QCOMPARE(order, (QStringList{"appl", "firmware", "stick", "device"}));
    QVERIFY(bridge.isHighlightState(CProg2Gui::HighlightApplication));
    QVERIFY(!bridge.isHighlightState(CProg2Gui::HighlightFileDownload));
    QCOMPARE(order.size(), 4);

    // A file selected with an update takes precedence over the tool.
    offerDeviceUpdate(bridge.fileModel());
    order.clear();
    QVERIFY(bridge.isHighlightState(CProg2Gui::HighlightFileDownload));
    QCOMPARE(order.size(), 4);

    // Leaving idle: nothing blinks.
    bridge.setSysState(CProg2Gui::SysStateDeviceUpdate);
    order.clear();
    QVERIFY(bridge.isHighlightState(CProg2Gui::HighlightNone));
    QCOMPARE(order.size(), 4);
    QVERIFY(bridge.isHighlightState(CProg2Gui::HighlightNone));
    QCOMPARE(order.size(), 4);
}

void tst_Bridge::actions()
{
    BridgeHarness harness;
    CProg2Gui& bridge = *harness.bridge;
    harness.connectStick();
    harness.exchange(nwkStatus(StickInterface::eNwkStateJoined));

    // A download with nothing to fetch passes through the download state and ends idle.
    QList<int> states;
    connect(&bridge, &CProg2Gui::applDataRepaint, this, [&] { states << bridge.SysState(); });
    bridge.qmlAction(CProg2Gui::StartFileDownload_QmlAction);
    QCOMPARE(states, (QList<int>{CProg2Gui::SysStateUpdateDownload, CProg2Gui::SysStateIdle}));

    bridge.qmlAction(CProg2Gui::StartDeviceUpdate_QmlAction);
    QCOMPARE(bridge.SysState(), CProg2Gui::SysStateDeviceUpdate);
    QCOMPARE(bridge.helpId(), int(CProg2Gui::HelpDeviceUpdate));
    QVERIFY(bridge.boGetVal(CProg2Gui::DeviceAbortButton_ValId));
    bridge.qmlAction(CProg2Gui::AbortDeviceUpdate_QmlAction);
    QCOMPARE(bridge.SysState(), CProg2Gui::SysStateIdle);
    QCOMPARE(bridge.helpId(), int(CProg2Gui::HelpReadyForUpdate));

    // The stick update: progress from 0, visible.
    harness.stick->setStickUpdateInfo(0x020000, "stick_2.0.0.bin");
    QCOMPARE(bridge.iGetVal(CProg2Gui::StickUpdateProgress_ValId), -1);
    QVERIFY(!bridge.boGetVal(CProg2Gui::StickUpdateProgressVisible_ValId));
    bridge.qmlAction(CProg2Gui::DoStickUpdate_QmlAction);
    QCOMPARE(bridge.SysState(), CProg2Gui::SysStateStickUpdate);
    QCOMPARE(harness.stick->stickUpdateState(), int(StickImageUpdate::eStickUpdateStateTransfer));
    QCOMPARE(bridge.iGetVal(CProg2Gui::StickUpdateProgress_ValId), 0);
    QVERIFY(bridge.boGetVal(CProg2Gui::StickUpdateProgressVisible_ValId));
    bridge.setSysState(CProg2Gui::SysStateIdle);

    QSignalSpy devices(&bridge, &CProg2Gui::deviceDataRepaint);
    bridge.qmlAction(CProg2Gui::ResetToFN_QmlAction);
    QVERIFY(harness.stick->isResetToFNPending());
    QVERIFY(devices.count() >= 1);

    // The common selector toggles every row that has an update.
    offerDeviceUpdate(bridge.fileModel());
    QCOMPARE(bridge.iGetVal(CProg2Gui::FirmwareSelectState_ValId), 2);
    QSignalSpy firmware(&bridge, &CProg2Gui::firmwareDataRepaint);
    bridge.qmlAction(CProg2Gui::CommonFileSelector_QmlAction);
    QCOMPARE(bridge.iGetVal(CProg2Gui::FirmwareSelectState_ValId), 0);
    QVERIFY(!bridge.boGetVal(CProg2Gui::FileUpdateButton_ValId));
    QVERIFY(firmware.count() >= 1); // the file list's selectionChanged reaches the window
    bridge.qmlAction(CProg2Gui::CommonFileSelector_QmlAction);
    QCOMPARE(bridge.iGetVal(CProg2Gui::FirmwareSelectState_ValId), 2);
}

QTEST_GUILESS_MAIN(tst_Bridge)
