#include <QAbstractItemModelTester>
#include <QtTest>

#include "bridge/CProg2Gui.h"
#include "common/DeviceType.h"
#include "common/RunState.h"
#include "content/FirmwareUpdateFileModel.h"
#include "content/UpdateIndex.h"
#include "support/LogCapture.h"
#include "support/TestSettings.h"

namespace {
// A row for _devType holding _current and offered _pending (empty: none).
void addRow(FirmwareUpdateFileModel& _model, quint16 _devType, const QString& _current, const QString& _pending,
            const QString& _pendingFile = "next.bin")
{
    _model.addFirmwareFile(_devType, _current, "held.bin", 600);
    if (!_pending.isEmpty())
        _model.addFirmwareFile(_devType, _pending, _pendingFile, 600);
}

QVariant roleData(const FirmwareUpdateFileModel& _model, int _row, int _role)
{
    return _model.data(_model.index(_row), _role);
}
} // namespace

// The firmware list without network: rows, roles, selection and the rules
// that decide which offer a row takes.
class tst_FirmwareUpdateFileModel : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void roles();
    void doneAndImagePictures_data();
    void doneAndImagePictures();
    void badIndexes();
    void getMapsEveryRole();
    void setDataSelectionAndProgress();
    void setSelectableAlwaysSignals();
    void selectionStateAndToggle();
    void offerComparison_data();
    void offerComparison();
    void indexRecords_data();
    void indexRecords();
    void offersNewerThan_data();
    void offersNewerThan();
    void updatePossibleBeforeTheIndex();
    void startWithNothingToFetchGoesIdle();
    void nameWithoutFileIsNotFetched_data();
    void nameWithoutFileIsNotFetched();

private:
    std::unique_ptr<TestSettings> m_settings;
    std::unique_ptr<CProg2Gui> m_bridge;
    std::unique_ptr<FirmwareUpdateFileModel> m_model;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
};

void tst_FirmwareUpdateFileModel::init()
{
    m_settings = std::make_unique<TestSettings>();
    m_bridge = std::make_unique<CProg2Gui>();
    m_model = std::make_unique<FirmwareUpdateFileModel>();
    // This list is the test's own: it ends the bridge's download run as the bridge's list does.
    connect(m_model.get(), &FirmwareUpdateFileModel::downloadsEnded, this,
            [this] { m_bridge->runState().end(RunState::eEndDone); });
    m_tester = std::make_unique<QAbstractItemModelTester>(m_model.get(),
                                                          QAbstractItemModelTester::FailureReportingMode::QtTest);
}

void tst_FirmwareUpdateFileModel::cleanup()
{
    m_tester.reset();
    m_model.reset();
    m_bridge.reset();
    m_settings.reset();
}

void tst_FirmwareUpdateFileModel::roles()
{
    // The window binds to these numbers and names.
    const QHash<int, QByteArray> names{{257, "name"},     {258, "version"}, {259, "selected"}, {260, "imgSource"},
                                       {261, "progress"}, {262, "done"},    {263, "hasUpdate"}};
    QCOMPARE(m_model->roleNames(), names);

    addRow(*m_model, 4, "1.2.0", "1.3.0");
    QCOMPARE(roleData(*m_model, 0, 257).toString(),
             QString("<font color=\"black\">%1<br><font color=\"grey\">%2")
                 .arg(DeviceType::deviceTypeName(4), DeviceType::articleNumber(4)));
    const QString version = roleData(*m_model, 0, 258).toString();
    QCOMPARE(version, QString("<font color=\"green\">V1.2.0</font><img src=\"qrc:/pic/update_arrow.png\"/>"
                              "<font color=\"red\">V1.3.0</font><font color=\"black\"></font>"));
    QCOMPARE(roleData(*m_model, 0, 263).toBool(), true);
    QCOMPARE(roleData(*m_model, 0, 261).toInt(), -1);

    // A failed download appends its result text under the version.
    m_model->findByDevType(4)->setDone(ProgressHelper::eResultMissingFile);
    QCOMPARE(roleData(*m_model, 0, 258).toString(), version + "<br/>Missing File");
}

void tst_FirmwareUpdateFileModel::doneAndImagePictures_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("done");
    QTest::newRow("unknown") << 0 << "";
    QTest::newRow("success") << 5 << "qrc:/pic/checkmark.png";
    QTest::newRow("verification failed") << 6 << "";
    QTest::newRow("authentication failed") << 7 << "qrc:/pic/error.png";
    QTest::newRow("timeout") << 8 << "";
    QTest::newRow("missing file") << 9 << "qrc:/pic/error.png";
    QTest::newRow("failed") << 10 << "qrc:/pic/error.png";
}

void tst_FirmwareUpdateFileModel::doneAndImagePictures()
{
    QFETCH(int, result);
    QFETCH(QString, done);
    addRow(*m_model, 1, "1.0.0", "1.0.1");
    addRow(*m_model, 2, "1.0.0", "");
    for (int row = 0; row < 2; ++row)
        m_model->findByDevType(row + 1)->setDone(ProgressHelper::_eResult_t(result));
    QCOMPARE(roleData(*m_model, 0, 262).toString(), done);
    QCOMPARE(roleData(*m_model, 1, 262).toString(), done);

    // The box: checked or unchecked with an update, disabled without one.
    QCOMPARE(roleData(*m_model, 0, 260).toString(), QString("qrc:/pic/checkbox_checked.png"));
    m_model->setSelectable(0, false);
    QCOMPARE(roleData(*m_model, 0, 260).toString(), QString("qrc:/pic/checkbox_unchecked.png"));
    QCOMPARE(roleData(*m_model, 1, 260).toString(), QString("qrc:/pic/checkbox_disabled.png"));
}

void tst_FirmwareUpdateFileModel::badIndexes()
{
    addRow(*m_model, 1, "1.0.0", "");
    LogCapture log;
    QVERIFY(!roleData(*m_model, 0, 300).isValid());
    QVERIFY(log.contains("FirmwareUpdateFileModel::data: unknown role (300), row 0"));
    QVERIFY(!m_model->data(QModelIndex(), 257).isValid());
    QVERIFY(log.contains("FirmwareUpdateFileModel::data: role 257, row -1"));
    QVERIFY(!m_model->setData(QModelIndex(), true, 259));
    QVERIFY(log.contains("FirmwareUpdateFileModel::setData: invalid index"));
    QVERIFY(!m_model->setData(m_model->index(0), true, 257));
    QVERIFY(log.contains("FirmwareUpdateFileModel::setData: xx"));
    m_model->setProgress(7, 500); // no such row: nothing happens
    QCOMPARE(m_model->rowCount(), 1);
}

void tst_FirmwareUpdateFileModel::getMapsEveryRole()
{
    addRow(*m_model, 6, "2.0.0", "2.1.0");
    const QVariantMap map = m_model->get(0);
    QCOMPARE(map.size(), m_model->roleNames().size());
    const QHash<int, QByteArray> names = m_model->roleNames();
    for (auto it = names.cbegin(); it != names.cend(); ++it)
        QCOMPARE(map.value(QString::fromUtf8(it.value())), roleData(*m_model, 0, it.key()));
    QCOMPARE(map.value("hasUpdate").toBool(), true);
}

void tst_FirmwareUpdateFileModel::setDataSelectionAndProgress()
{
    addRow(*m_model, 1, "1.0.0", "1.1.0");
    FirmwareUpdate* fw = m_model->findByDevType(1);
    QSignalSpy changed(m_model.get(), &QAbstractItemModel::dataChanged);

    QVERIFY(m_model->setData(m_model->index(0), true, 259)); // already selected
    QCOMPARE(changed.count(), 0);

    QVERIFY(m_model->setData(m_model->index(0), false, 259));
    QCOMPARE(fw->m_selected, false);
    QCOMPARE(changed.count(), 1);

    // Selecting again a row that still has an update starts it afresh.
    fw->setDone(ProgressHelper::eResultSuccess);
    fw->setProgress(1000);
    QVERIFY(m_model->setData(m_model->index(0), true, 259));
    QCOMPARE(fw->m_result, ProgressHelper::eResultUnknown);
    QCOMPARE(fw->m_progress, -1);
    QCOMPARE(changed.count(), 2);

    m_model->setProgress(0, 1500);
    QCOMPARE(roleData(*m_model, 0, 261).toInt(), 1000);
    m_model->setProgress(0, -7);
    QCOMPARE(roleData(*m_model, 0, 261).toInt(), -1);
    QCOMPARE(changed.count(), 4);
}

void tst_FirmwareUpdateFileModel::setSelectableAlwaysSignals()
{
    addRow(*m_model, 1, "1.0.0", "1.1.0");
    QSignalSpy selection(m_model.get(), &FirmwareUpdateFileModel::selectionChanged);
    QSignalSpy repaint(m_bridge.get(), &CProg2Gui::firmwareDataRepaint);
    m_model->setSelectable(0, true); // unchanged
    m_model->setSelectable(0, false);
    QCOMPARE(selection.count(), 2);
    // The bridge's own list repaints the window on every selection change.
    m_bridge->fileModel()->setSelectable(0, false);
    QCOMPARE(repaint.count(), 1);
}

void tst_FirmwareUpdateFileModel::selectionStateAndToggle()
{
    addRow(*m_model, 1, "1.0.0", "1.1.0");
    addRow(*m_model, 2, "1.0.0", "1.2.0");
    addRow(*m_model, 4, "1.0.0", ""); // no update: never counted, never touched
    QSignalSpy selection(m_model.get(), &FirmwareUpdateFileModel::selectionChanged);

    QCOMPARE(m_model->selectionState(), 2);
    QVERIFY(m_model->anyUpdateSelected());
    m_model->setSelectable(1, false);
    QCOMPARE(m_model->selectionState(), 1);

    selection.clear();
    m_model->toggleSelectAll(); // from "some": everything off
    QCOMPARE(selection.count(), 1);
    QCOMPARE(m_model->selectionState(), 0);
    QVERIFY(!m_model->anyUpdateSelected());
    QCOMPARE(m_model->findByDevType(4)->m_selected, true);

    m_model->findByDevType(1)->setDone(ProgressHelper::eResultAuthFail);
    m_model->findByDevType(1)->setProgress(300);
    m_model->toggleSelectAll(); // from "none": everything on, afresh
    QCOMPARE(m_model->selectionState(), 2);
    QCOMPARE(m_model->findByDevType(1)->m_result, ProgressHelper::eResultUnknown);
    QCOMPARE(m_model->findByDevType(1)->m_progress, -1);

    m_model->toggleSelectAll(); // from "all": everything off
    QCOMPARE(m_model->selectionState(), 0);
    QCOMPARE(selection.count(), 3);
    QCOMPARE(m_model->findByDevType(4)->m_selected, true);
}

void tst_FirmwareUpdateFileModel::offerComparison_data()
{
    QTest::addColumn<bool>("knownFile"); // setKnownFile instead of addFirmwareFile
    QTest::addColumn<QString>("pending");
    QTest::addColumn<QString>("offered");
    QTest::addColumn<bool>("taken");

    for (bool known : {false, true}) {
        const char* fn = known ? "setKnownFile" : "addFirmwareFile";
        QTest::addRow("%s: no pending update takes the offer", fn) << known << ""
                                                                   << "1.0.0" << true;
        QTest::addRow("%s: 1.10.0 is newer than 1.9.0", fn) << known << "1.9.0"
                                                            << "1.10.0" << true;
        QTest::addRow("%s: 1.9.0 is older than 1.10.0", fn) << known << "1.10.0"
                                                            << "1.9.0" << false;
        QTest::addRow("%s: 2.0.0 over 10.0.0 is older", fn) << known << "10.0.0"
                                                            << "2.0.0" << false;
        QTest::addRow("%s: equal", fn) << known << "1.2.3"
                                       << "1.2.3" << false;
        QTest::addRow("%s: empty offer", fn) << known << ""
                                             << "" << false;
    }
}

void tst_FirmwareUpdateFileModel::offerComparison()
{
    QFETCH(bool, knownFile);
    QFETCH(QString, pending);
    QFETCH(QString, offered);
    QFETCH(bool, taken);

    m_model->addFirmwareFile(4, "0.5.0", "held.bin", 600);
    FirmwareUpdate* fw = m_model->findByDevType(4);
    if (!pending.isEmpty())
        fw->setUpdateInfo(parseVersion(pending), "pending.bin");
    const FirmwareUpdate before = *fw;

    if (knownFile)
        m_model->setKnownFile(4, offered, "offered.bin", 321);
    else
        m_model->addFirmwareFile(4, offered, "offered.bin", 321);

    QCOMPARE(m_model->rowCount(), 1);
    if (!taken) {
        QCOMPARE(fw->m_version, before.m_version);
        QCOMPARE(fw->m_fileName, before.m_fileName);
        QCOMPARE(fw->m_update.version, before.m_update.version);
        QCOMPARE(fw->m_duration, before.m_duration);
    } else if (knownFile) {
        // The file on disk becomes the present one; a pending update that is
        // not newer goes.
        QCOMPARE(fw->m_version, parseVersion(offered));
        QCOMPARE(fw->m_fileName, QString("offered.bin"));
        QCOMPARE(fw->m_duration, 321);
        QVERIFY(!fw->hasUpdate());
    } else {
        QCOMPARE(fw->m_update.version, parseVersion(offered));
        QCOMPARE(fw->m_update.fileName, QString("offered.bin"));
        QCOMPARE(fw->m_version, before.m_version);
    }
}

void tst_FirmwareUpdateFileModel::indexRecords_data()
{
    QTest::addColumn<QStringList>("records");
    QTest::addColumn<int>("devType");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("pending");
    QTest::addColumn<QString>("pendingFile");

    auto rec = [](const QString& _devId, const QString& _version, const QString& _file, const QString& _extra) {
        return QString("<p devid=\"%1\" application=\"plug\" version=\"%2\" fileName=\"%3\"%4/>")
            .arg(_devId, _version, _file, _extra);
    };
    QTest::newRow("known type takes a newer version")
        << QStringList{rec("1", "1.1.0", "ce_1.1.0.ota", "")} << 1 << "1.0.0"
        << "1.1.0"
        << "ce_1.1.0.ota";
    QTest::newRow("sys win is taken") << QStringList{rec("1", "1.1.0", "a.ota", " sys=\"win\"")} << 1 << "1.0.0"
                                      << "1.1.0"
                                      << "a.ota";
    QTest::newRow("empty sys is taken") << QStringList{rec("1", "1.1.0", "a.ota", " sys=\"\"")} << 1 << "1.0.0"
                                        << "1.1.0"
                                        << "a.ota";
    QTest::newRow("other sys is ignored") << QStringList{rec("1", "1.1.0", "a.ota", " sys=\"linux\"")} << 1 << "1.0.0"
                                          << ""
                                          << "";
    QTest::newRow("older version is ignored") << QStringList{rec("1", "0.9.0", "a.ota", "")} << 1 << "1.0.0"
                                              << ""
                                              << "";
    QTest::newRow("unknown type: the first record is offered, not held")
        << QStringList{rec("4", "1.2.7", "p_1.2.7.ota", "")} << 4 << ""
        << "1.2.7"
        << "p_1.2.7.ota";
    QTest::newRow("unknown type: a newer second record replaces the offer")
        << QStringList{rec("4", "1.2.7", "p_1.2.7.ota", ""), rec("4", "1.2.9", "p_1.2.9.ota", "")} << 4 << ""
        << "1.2.9"
        << "p_1.2.9.ota";
    QTest::newRow("devid that is not a number is type 0") << QStringList{rec("x4", "1.0.0", "z.ota", "")} << 0 << ""
                                                          << "1.0.0"
                                                          << "z.ota";
}

void tst_FirmwareUpdateFileModel::indexRecords()
{
    QFETCH(QStringList, records);
    QFETCH(int, devType);
    QFETCH(QString, current);
    QFETCH(QString, pending);
    QFETCH(QString, pendingFile);

    m_model->addFirmwareFile(1, "1.0.0", "held.bin", 600);
    LogCapture log;
    for (const QString& record : records)
        m_model->updateFirmwareFileData(UpdateIndex::parseRecord(record));
    const FirmwareUpdate* fw = m_model->findByDevType(quint16(devType));
    QVERIFY(fw);
    QCOMPARE(fw->versionString(), current);
    QCOMPARE(fw->updateVersionString(), pending);
    QCOMPARE(fw->m_update.fileName, pendingFile);
    if (devType != 1) {
        QCOMPARE(log.count("new application 'plug'"), 1);
        QCOMPARE(fw->m_duration, 600);
        // Nothing of the new type is on disk: the offer is selected for download.
        QVERIFY(fw->m_fileName.isEmpty());
        QCOMPARE(fw->hasUpdate(), !pending.isEmpty());
        QVERIFY(fw->m_selected);
    }
}

void tst_FirmwareUpdateFileModel::offersNewerThan_data()
{
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("pending");
    QTest::addColumn<quint32>("asked");
    QTest::addColumn<bool>("expected");

    QTest::newRow("pending newer than the client") << "1.0.0"
                                                   << "1.2.0" << 0x010100u << true;
    QTest::newRow("pending equal to the client") << "1.0.0"
                                                 << "1.2.0" << 0x010200u << false;
    QTest::newRow("present file newer, nothing pending") << "1.3.0"
                                                         << "" << 0x010200u << true;
    QTest::newRow("present file equal, nothing pending") << "1.3.0"
                                                         << "" << 0x010300u << false;
    QTest::newRow("unknown client version with an update") << "1.0.0"
                                                           << "1.2.0" << kNoVersion << true;
    QTest::newRow("unknown client version without an update") << "1.0.0"
                                                              << "" << kNoVersion << false;
    QTest::newRow("row without any version") << ""
                                             << "" << 0x000001u << false;
}

void tst_FirmwareUpdateFileModel::offersNewerThan()
{
    QFETCH(QString, current);
    QFETCH(QString, pending);
    QFETCH(quint32, asked);
    QFETCH(bool, expected);
    FirmwareUpdate row(4, current);
    if (!pending.isEmpty())
        row.setUpdateInfo(parseVersion(pending), "p.ota");
    QCOMPARE(FirmwareUpdateFileModel::offersNewerThan(row, asked), expected);
}

void tst_FirmwareUpdateFileModel::updatePossibleBeforeTheIndex()
{
    // Until the update index is processed every client may ask, even for a type without a row.
    QCOMPARE(m_bridge->updateXmlState(), CProg2Gui::eUpdateXmlStateUnknown);
    QVERIFY(m_model->isUpdatePossible(77, 0x010000));
    addRow(*m_model, 4, "1.0.0", "");
    QVERIFY(m_model->isUpdatePossible(4, 0x020000));
}

void tst_FirmwareUpdateFileModel::startWithNothingToFetchGoesIdle()
{
    addRow(*m_model, 1, "1.0.0", "1.1.0");
    addRow(*m_model, 2, "1.0.0", ""); // selected, but nothing to fetch
    m_model->setSelectable(0, false);
    m_bridge->setSysState(CProg2Gui::SysStateUpdateDownload);
    LogCapture log;
    m_model->StartFileDownload();
    QCOMPARE(m_bridge->SysState(), CProg2Gui::SysStateIdle);
    QVERIFY(!log.contains("QML action: StartFileDownload"));

    // A row that failed three times is given up; one that succeeded is done.
    m_model->setSelectable(0, true);
    FirmwareUpdate* fw = m_model->findByDevType(1);
    fw->m_failCounter = 3;
    fw->setDone(ProgressHelper::eResultFail);
    m_bridge->setSysState(CProg2Gui::SysStateUpdateDownload);
    m_model->StartFileDownload();
    QCOMPARE(m_bridge->SysState(), CProg2Gui::SysStateIdle);
    fw->m_failCounter = 0;
    fw->setDone(ProgressHelper::eResultSuccess);
    m_model->StartFileDownload();
    QVERIFY(!log.contains("QML action: StartFileDownload"));
}

void tst_FirmwareUpdateFileModel::nameWithoutFileIsNotFetched_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::newRow("empty") << "";
    QTest::newRow("parent folder") << "..";
    QTest::newRow("folder only") << "fw/";
    QTest::newRow("windows parent folder") << "fw\\..";
}

void tst_FirmwareUpdateFileModel::nameWithoutFileIsNotFetched()
{
    QFETCH(QString, fileName);
    addRow(*m_model, 1, "1.0.0", "1.1.0", fileName);
    m_bridge->setSysState(CProg2Gui::SysStateUpdateDownload);
    LogCapture log;
    m_model->StartFileDownload();
    const FirmwareUpdate* fw = m_model->findByDevType(1);
    QCOMPARE(fw->m_result, ProgressHelper::eResultFail);
    QCOMPARE(fw->m_selected, false);
    QCOMPARE(m_bridge->SysState(), CProg2Gui::SysStateIdle);
    QCOMPARE(log.count(QString("ERROR: download failed %1").arg(fileName)), 1);
    QVERIFY(!log.contains("url "));
}

QTEST_GUILESS_MAIN(tst_FirmwareUpdateFileModel)
#include "tst_firmwareupdatefilemodel.moc"
