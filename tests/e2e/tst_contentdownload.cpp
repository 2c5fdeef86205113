#include <QtTest>

#include "EndToEndRig.h"
#include "UpdateServer.h"
#include "bridge/CProg2Gui.h"
#include "common/common.h"
#include "content/FirmwareUpdateFileModel.h"
#include "link/StickInterface.h"
#include "support/E2eTimings.h"
#include "support/TestFiles.h"

using namespace E2eTimings;

// The tool at its start fetches the signed index from the update server;
// the user selects every file and downloads them; "backup.ini" then holds
// what the tool has.
class tst_ContentDownload : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void indexFilesAndBackup();

private:
    std::unique_ptr<EndToEndRig> m_rig;
};

void tst_ContentDownload::init()
{
    START_END_TO_END_RIG(m_rig);
}

void tst_ContentDownload::cleanup()
{
    m_rig.reset();
}

void tst_ContentDownload::indexFilesAndBackup()
{
    EndToEndRig& rig = *m_rig;
    const QList<quint16> types{1, 2, 4, 6};
    for (quint16 type : types)
        QVERIFY2(rig.hold({type, "1.0.0", 2000}), qPrintable(rig.error()));
    QVERIFY2(rig.offer({{1, "1.1.0", 3000}, {2, "1.0.7", 2200}, {4, "2.0.0", 4500}, {6, "1.2.0", 4000}}),
             qPrintable(rig.error()));
    QVERIFY2(rig.startSimulator(EndToEndRig::scenario({EndToEndRig::device(0x1a2b, 1, "1.0.0")})),
             qPrintable(rig.error()));
    rig.startTool();
    CProg2Gui* bridge = rig.bridge();
    FirmwareUpdateFileModel* files = bridge->fileModel();

    QTRY_VERIFY_WITH_TIMEOUT(rig.isIndexVerified(), kConnectMs);
    QCOMPARE(bridge->updateXmlResult(), ProgressHelper::eResultSuccess);
    QCOMPARE(bridge->getText(CProg2Gui::ServerErrorTxt_ValId), QString("Update server contacted"));
    const QStringList requests = rig.server()->requests();
    for (const char* name : {"update.xml", "update.sig"}) {
        QVERIFY2(std::any_of(requests.begin(), requests.end(),
                             [name](const QString& _target) { return _target.endsWith(QString("/") + name); }),
                 qPrintable(requests.join(", ")));
    }
    for (quint16 type : types) {
        const FirmwareUpdate* record = files->findByDevType(type);
        QVERIFY(record);
        QVERIFY(record->hasUpdate());
        QCOMPARE(record->m_update.version, rig.offeredVersion(type));
    }

    // "All Files" takes the selection away and gives it back.
    QCOMPARE(bridge->iGetVal(CProg2Gui::FirmwareSelectState_ValId), 2);
    bridge->qmlAction(CProg2Gui::CommonFileSelector_QmlAction);
    QCOMPARE(bridge->iGetVal(CProg2Gui::FirmwareSelectState_ValId), 0);
    QVERIFY(!bridge->boGetVal(CProg2Gui::FileUpdateButton_ValId));
    bridge->qmlAction(CProg2Gui::CommonFileSelector_QmlAction);
    QCOMPARE(bridge->iGetVal(CProg2Gui::FirmwareSelectState_ValId), 2);
    QVERIFY(bridge->boGetVal(CProg2Gui::FileUpdateButton_ValId));
    QVERIFY(bridge->isHighlightState(CProg2Gui::HighlightFileDownload));

    bridge->qmlAction(CProg2Gui::StartFileDownload_QmlAction);
    QCOMPARE(bridge->SysState(), CProg2Gui::SysStateUpdateDownload);
    QTRY_COMPARE_WITH_TIMEOUT(bridge->SysState(), CProg2Gui::SysStateIdle, kDownloadMs);
    QVERIFY(rig.holdsOffered());

    QSettings backup(rig.updatePath() + "/backup.ini", QSettings::IniFormat);
    QStringList known = backup.value("devices/known_devices").toStringList();
    known.sort();
    QCOMPARE(known, (QStringList{"1", "2", "4", "6"}));
    for (quint16 type : types) {
        const QString group = QString::number(type);
        const FirmwareUpdate* record = files->findByDevType(type);
        QCOMPARE(backup.value(group + "/id").toInt(), int(type));
        QCOMPARE(backup.value(group + "/ver").toString(), formatVersion(rig.offeredVersion(type)));
        QCOMPARE(backup.value(group + "/file").toString(), record->m_fileName);
        QCOMPARE(readFile(rig.updatePath() + "/" + record->m_fileName), rig.servedImage(type));
        QVERIFY(QFile::exists(rig.updatePath() + "/" + QFileInfo(record->m_fileName).completeBaseName() + ".sig"));
        // The file it replaces is gone (devices/keep_old is false).
        QVERIFY(!QFile::exists(rig.updatePath() + QString("/held_%1.ota").arg(type)));
    }

    // Nothing is left to download; the stick has its new firmware pending
    // and the window's guide moves on to it.
    QVERIFY(!bridge->boGetVal(CProg2Gui::FileUpdateButton_ValId));
    QCOMPARE(bridge->stickInterface()->stickFirmware().m_update.version, rig.offeredVersion(6));
    QTRY_VERIFY_WITH_TIMEOUT(bridge->boGetVal(CProg2Gui::StickUpdateButtonEnabled_ValId), kConnectMs);
    QVERIFY(bridge->isHighlightState(CProg2Gui::HighlightStickUpdate));
}

QTEST_GUILESS_MAIN(tst_ContentDownload)
#include "tst_contentdownload.moc"
