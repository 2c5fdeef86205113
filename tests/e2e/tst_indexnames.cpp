#include <QtTest>

#include "EndToEndRig.h"
#include "Publisher.h"
#include "StickSimulator.h"
#include "bridge/CProg2Gui.h"
#include "common/common.h"
#include "content/FirmwareUpdateFileModel.h"
#include "devices/ZigBeeDeviceModel.h"
#include "support/E2eTimings.h"
#include "support/LogCapture.h"
#include "support/TestFiles.h"

using namespace E2eTimings;

namespace {
// Path and content hash of every file under _root (except under _skip)
// whose name is one of _names. The tool's own temp folder and settings
// change during the run; only files an index name could reach are compared.
QMap<QString, QByteArray> snapshot(const QString& _root, const QString& _skip, const QStringList& _names)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(_root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.startsWith(_skip + "/") || !_names.contains(it.fileName(), Qt::CaseInsensitive))
            continue;
        QFile file(path);
        files.insert(path, file.open(QIODevice::ReadOnly) ? EndToEndRig::sha256Hex(file.readAll()) : "unreadable");
    }
    return files;
}
} // namespace

// File names in the update index come from a server over plain HTTP: none
// of them leads to a write or a read outside the update folder.
class tst_IndexNames : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void namesStayInUpdateFolder();

private:
    std::unique_ptr<EndToEndRig> m_rig;
};

void tst_IndexNames::init()
{
    START_END_TO_END_RIG(m_rig);
}

void tst_IndexNames::cleanup()
{
    m_rig.reset();
}

void tst_IndexNames::namesStayInUpdateFolder()
{
    EndToEndRig& rig = *m_rig;
    QTemporaryDir outside;
    QVERIFY(outside.isValid());
    const QString updatePath = rig.updatePath();
    const QString around = QFileInfo(updatePath).absolutePath();

    struct Record
    {
        quint16 devType;
        QString indexName;
        QString stored; // empty: refused
    };
    const QList<Record> records{
        {101, "../up.ota", "up.ota"},
        {102, "../../twoup.ota", "twoup.ota"},
        {103, outside.filePath("absolute.ota"), "absolute.ota"},
        {104, "C:\\drive.ota", "drive.ota"},
        {105, "..\\..\\back.ota", "back.ota"},
        {106, "C:stream.ota", QString()},
        {107, "CON", QString()},
        {108, "NUL.bin", QString()},
        {109, "com1.ota", QString()},
        {110, "Lpt9 .ota", QString()},
        {111, "dot.ota.", QString()},
        {112, "blank.ota ", QString()},
        {113, "..", QString()},
        {114, "../..", QString()},
        // Names of the tool's own files and of files that stand for others.
        {115, "backup.ini", QString()},
        {116, "Backup.INI", QString()},
        {117, "updateStarter.cmd", QString()},
        {118, "held_1.sig", QString()},
        {119, "up.ota.part", QString()},
        {120, "no-extension", QString()},
    };

    // Files the names would reach if they were taken as paths; unsigned, so
    // that a device that got one of them fails the hash check below.
    const QByteArray decoy = "outside the update folder";
    QVERIFY(writeFile(around + "/up.ota", decoy));
    QVERIFY(writeFile(QFileInfo(around).absolutePath() + "/twoup.ota", decoy));
    QVERIFY(writeFile(outside.filePath("absolute.ota"), decoy));

    QList<Publisher::IndexEntry> entries;
    for (const Record& record : records) {
        entries.append({record.devType, QString("type %1").arg(record.devType), "1.0.0", record.indexName, QString()});
        if (!record.stored.isEmpty()) {
            QVERIFY2(rig.publish(record.stored, Publisher::otaImage(record.devType, parseVersion("1.0.0"), 1500)),
                     qPrintable(rig.error()));
        }
    }
    QVERIFY2(rig.writeIndex(entries), qPrintable(rig.error()));
    QVERIFY2(rig.startSimulator(EndToEndRig::scenario(
                 {EndToEndRig::device(0x1a2b, 101, "0.9.0"), EndToEndRig::device(0x3e4f, 103, "0.9.0")})),
             qPrintable(rig.error()));
    QStringList names;
    for (const Record& record : records)
        names.append(QString(record.indexName).replace('\\', '/').section('/', -1));
    const QString root = QFileInfo(around).absolutePath();
    const auto aroundBefore = snapshot(root, updatePath, names);
    const auto outsideBefore = snapshot(outside.path(), updatePath, names);
    QCOMPARE(aroundBefore.size(), 2); // the two decoys

    LogCapture log;
    rig.startTool();
    CProg2Gui* bridge = rig.bridge();
    FirmwareUpdateFileModel* files = bridge->fileModel();
    QTRY_VERIFY_WITH_TIMEOUT(rig.isStickJoined(), kConnectMs);
    QTRY_VERIFY_WITH_TIMEOUT(rig.isIndexVerified(), kConnectMs);
    rig.startDownload();
    QTRY_COMPARE_WITH_TIMEOUT(bridge->SysState(), CProg2Gui::SysStateIdle, kDownloadMs);

    for (const Record& record : records) {
        const FirmwareUpdate* row = files->findByDevType(record.devType);
        QVERIFY2(row, qPrintable(record.indexName));
        if (record.stored.isEmpty()) {
            QVERIFY2(row->m_result == ProgressHelper::eResultFail, qPrintable(record.indexName));
            QVERIFY2(log.count(QString("refused file name '%1'").arg(record.indexName)) == 1,
                     qPrintable(record.indexName));
        } else {
            QVERIFY2(row->m_result == ProgressHelper::eResultSuccess, qPrintable(record.indexName));
            QCOMPARE(row->m_fileName, record.stored);
            QVERIFY(QFile::exists(updatePath + "/" + record.stored));
        }
    }
    QCOMPARE(snapshot(root, updatePath, names), aroundBefore);
    QCOMPARE(snapshot(outside.path(), updatePath, names), outsideBefore);
    QString why;
    QVERIFY2(rig.updateFolderHoldsOnlyVerified(&why), qPrintable(why));

    // What the devices get is read from the update folder, not from where
    // the index name points.
    ZigBeeDeviceModel* model = bridge->deviceModel();
    QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), 2, kConnectMs);
    bridge->qmlAction(CProg2Gui::StartDeviceUpdate_QmlAction);
    QTRY_VERIFY_WITH_TIMEOUT(model->findDevice(0x1a2b)->m_result == ProgressHelper::eResultSuccess &&
                                 model->findDevice(0x3e4f)->m_result == ProgressHelper::eResultSuccess,
                             kRunMs);
    int images = 0;
    QVERIFY2(rig.everyImageSigned(&images, &why), qPrintable(why));
    QCOMPARE(images, 2);
    bridge->qmlAction(CProg2Gui::AbortDeviceUpdate_QmlAction);
}

QTEST_GUILESS_MAIN(tst_IndexNames)
#include "tst_indexnames.moc"
