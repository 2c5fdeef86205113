#include <QtTest>

#include "UpdateServer.h"
#include "bridge/CProg2Gui.h"
#include "content/AuthFileDownloader.h"
#include "content/FileDownloader.h"
#include "support/DevelopmentSigner.h"
#include "support/LogCapture.h"
#include "support/TestFiles.h"
#include "support/TestSettings.h"

namespace {
constexpr int kWaitMs = 10000;

QByteArray firmware(int _size, char _seed)
{
    QByteArray bytes(_size, '\0');
    for (int i = 0; i < _size; ++i)
        bytes[i] = static_cast<char>(_seed + i * 7);
    return bytes;
}

QStringList partFiles(const QString& _dir)
{
    return QDir(_dir).entryList({"*.part"}, QDir::Files);
}
} // namespace

Q_DECLARE_METATYPE(UpdateServer::Fault_t)

// Downloads against the loopback update server: the "file not found" page
// rules, the size limit, and the signed pair that only reaches its final
// names when its signature holds.
class tst_Downloaders : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void notFoundPageRule_data();
    void notFoundPageRule();
    void baseUrlIsJoinedAsItStands_data();
    void baseUrlIsJoinedAsItStands();
    void sizeLimit_data();
    void sizeLimit();
    void timeLimits_data();
    void timeLimits();
    void validFileUrlGoesThroughTheNetworkManager();

    void verifiedPairTakesFinalNames();
    void rejectedPairLeavesFinalNames_data();
    void rejectedPairLeavesFinalNames();
    void nothingBeforeBothFilesAreIn_data();
    void nothingBeforeBothFilesAreIn();
    void withoutAuthOnlyTheDataIsFetched();
    void newUrlDropsTheEarlierReply();

private:
    // Both files of the pair have been handled (saved and judged) by their downloaders.
    bool pairFinished(const QString& _dataUrl, const QString& _sigUrl) const;
    bool urlFinished(const QString& _url) const;

    std::unique_ptr<TestSettings> m_settings;
    std::unique_ptr<CProg2Gui> m_bridge;
    std::unique_ptr<QTemporaryDir> m_served;
    std::unique_ptr<QTemporaryDir> m_target;
    std::unique_ptr<UpdateServer> m_server;
    std::unique_ptr<LogCapture> m_log;
    DevelopmentSigner m_signer;
};

// Signed pairs can only verify when the development key is compiled in.
#define REQUIRE_DEVELOPMENT_KEY()                                                                                      \
    if (!DevelopmentSigner::embeddedKeyIsDevelopmentKey())                                                             \
    QSKIP("this build embeds a release key; content signed with the development key cannot verify")

void tst_Downloaders::init()
{
    m_settings = std::make_unique<TestSettings>();
    m_bridge = std::make_unique<CProg2Gui>(); // the signature verifier lives in the bridge
    m_served = std::make_unique<QTemporaryDir>();
    m_target = std::make_unique<QTemporaryDir>();
    m_server = std::make_unique<UpdateServer>(m_served->path());
    QVERIFY(m_server->listen());
    QVERIFY(m_signer.isValid());
    m_log = std::make_unique<LogCapture>();
}

void tst_Downloaders::cleanup()
{
    m_log.reset();
    m_server.reset();
    m_bridge.reset();
    m_settings.reset();
}

bool tst_Downloaders::urlFinished(const QString& _url) const
{
    return m_log->count(QString("loaded url '%1'").arg(_url)) > 0 ||
           m_log->count(QString("file not found on server: url '%1'").arg(_url)) > 0;
}

bool tst_Downloaders::pairFinished(const QString& _dataUrl, const QString& _sigUrl) const
{
    return urlFinished(_dataUrl) && urlFinished(_sigUrl);
}

void tst_Downloaders::notFoundPageRule_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("notFound");

    QTest::newRow("maker page 1500 bytes") << UpdateServer::makerNotFoundPage(1500) << true;
    QTest::newRow("maker page 1001 bytes") << UpdateServer::makerNotFoundPage(1001) << true;
    QTest::newRow("maker page 19999 bytes") << UpdateServer::makerNotFoundPage(19999) << true;
    QTest::newRow("maker page at exactly 1000 bytes is data") << UpdateServer::makerNotFoundPage(1000) << false;
    QTest::newRow("maker page at exactly 20000 bytes is data") << UpdateServer::makerNotFoundPage(20000) << false;
    QTest::newRow("page without the catalogue title is data")
        << UpdateServer::makerNotFoundPage(1500).replace("Vandrel Online-Katalog", "Vandrel Online-Shop") << false;
    QTest::newRow("\"404 Not Found\" in 50000 bytes")
        << firmware(25000, 1) + "404 Not Found" + firmware(24987, 2) << true;
    QTest::newRow("\"404 Not Found\" alone") << QByteArray("404 Not Found") << true;
    QTest::newRow("firmware") << firmware(5000, 3) << false;
}

void tst_Downloaders::notFoundPageRule()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, notFound);
    if (QTest::currentDataTag() == QByteArray("maker page at exactly 1000 bytes is data"))
        QCOMPARE(body.size(), 1000);

    QVERIFY(writeFile(m_served->filePath("page.html"), body));
    const QString saved = m_target->filePath("page.html");
    QVERIFY(writeFile(saved, "previous content that must be overwritten"));

    FileDownloader downloader;
    QSignalSpy downloaded(&downloader, &FileDownloader::downloaded);
    QSignalSpy error(&downloader, &FileDownloader::error);
    downloader.setFileName(saved);
    downloader.setUrl(m_server->baseUrl(), "page", "html");
    QVERIFY(downloaded.wait(kWaitMs));

    // The page stands for a missing file like a 404: reported, so that the
    // owner does not wait for ever.
    QCOMPARE(error.count(), notFound ? 1 : 0);
    QCOMPARE(downloader.errorCode(), notFound ? int(QNetworkReply::ContentNotFoundError) : 0);
    QCOMPARE(downloader.isOk(), !notFound);
    QCOMPARE(downloader.data(), notFound ? QByteArray() : body);
    QCOMPARE(readFile(saved), body); // written before it is judged
    const QString url = m_server->baseUrl() + "/page.html";
    QCOMPARE(m_log->count(QString("file not found on server: url '%1'").arg(url)), notFound ? 1 : 0);
    QCOMPARE(m_log->count(QString("loaded url '%1'").arg(url)), notFound ? 0 : 1);
}

void tst_Downloaders::baseUrlIsJoinedAsItStands_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("requested"); // as the URL text stands
    QTest::newRow("no slash") << ""
                              << "/fw.bin";
    QTest::newRow("trailing slash") << "/"
                                    << "//fw.bin";
}

void tst_Downloaders::baseUrlIsJoinedAsItStands()
{
    QFETCH(QString, suffix);
    QFETCH(QString, requested);
    const QByteArray body = firmware(3000, 9);
    QVERIFY(writeFile(m_served->filePath("fw.bin"), body));

    FileDownloader downloader;
    QSignalSpy downloaded(&downloader, &FileDownloader::downloaded);
    downloader.setUrl(m_server->baseUrl() + suffix, "fw", "bin");
    QCOMPARE(downloader.url(), m_server->baseUrl() + requested);
    QVERIFY(downloaded.wait(kWaitMs));
    QCOMPARE(m_server->requests().size(), 1);
    QCOMPARE(UpdateServer::relativePath(m_server->requests().first().toLatin1()), QString("fw.bin"));
    QCOMPARE(downloader.data(), body);
}

void tst_Downloaders::sizeLimit_data()
{
    QTest::addColumn<int>("fileSize"); // -1: endless body
    QTest::addColumn<bool>("aborted");
    QTest::newRow("endless body") << -1 << true;
    QTest::newRow("one byte over the limit") << 256 * 1024 + 1 << true;
    QTest::newRow("exactly the limit") << 256 * 1024 << false;
}

void tst_Downloaders::sizeLimit()
{
    QFETCH(int, fileSize);
    QFETCH(bool, aborted);
    if (fileSize < 0)
        m_server->setFault(UpdateServer::FaultEndlessBody, "big.bin");
    else
        QVERIFY(writeFile(m_served->filePath("big.bin"), firmware(fileSize, 5)));

    QCOMPARE(FileDownloader::kDefaultMaxSize, qint64(64) * 1024 * 1024);
    FileDownloader downloader(256 * 1024);
    QSignalSpy downloaded(&downloader, &FileDownloader::downloaded);
    QSignalSpy error(&downloader, &FileDownloader::error);
    const QString saved = m_target->filePath("big.bin");
    downloader.setFileName(saved);
    downloader.setUrl(m_server->baseUrl(), "big", "bin");
    QVERIFY((aborted ? error : downloaded).wait(kWaitMs));

    QCOMPARE(error.count(), aborted ? 1 : 0);
    QCOMPARE(downloaded.count(), aborted ? 0 : 1);
    QCOMPARE(downloader.isOk(), !aborted);
    if (aborted) {
        QCOMPARE(downloader.errorCode(), int(QNetworkReply::OperationCanceledError));
        QVERIFY(downloader.data().isEmpty());
        QVERIFY(!QFile::exists(saved)); // cut-off bytes are never saved
        QVERIFY(m_log->contains("download too large: url '" + m_server->baseUrl() + "/big.bin'"));
    } else {
        QCOMPARE(downloader.data().size(), fileSize);
        QCOMPARE(readFile(saved).size(), fileSize);
    }
}

void tst_Downloaders::timeLimits_data()
{
    // The server sends the file one byte per drip interval; the stall limit
    // is off, every byte would restart it anyway.
    QTest::addColumn<int>("dripMs");
    QTest::addColumn<int>("fileSize");
    QTest::addColumn<int>("rateFloor"); // bytes per second, 0: none
    QTest::addColumn<int>("windowMs");
    QTest::addColumn<int>("timeLimitMs"); // 0: none
    QTest::addColumn<bool>("aborted");
    // At most 20 bytes/s where 200 are asked for: given up after the first window.
    QTest::newRow("below the rate floor") << 50 << 2000 << 200 << 1200 << 0 << true;
    // At most 100 bytes/s, at least 25 asked for: slow, but it keeps the
    // floor window after window and arrives.
    QTest::newRow("slow, above the rate floor") << 10 << 200 << 25 << 500 << 0 << false;
    QTest::newRow("longer than the time limit") << 10 << 200 << 0 << 0 << 700 << true;
}

void tst_Downloaders::timeLimits()
{
    QFETCH(int, dripMs);
    QFETCH(int, fileSize);
    QFETCH(int, rateFloor);
    QFETCH(int, windowMs);
    QFETCH(int, timeLimitMs);
    QFETCH(bool, aborted);
    QVERIFY(writeFile(m_served->filePath("slow.bin"), firmware(fileSize, 9)));
    m_server->setFault(UpdateServer::FaultDrip, "slow.bin");
    m_server->setDripInterval(dripMs);

    FileDownloader downloader;
    QCOMPARE(downloader.stallLimit(), 0);
    QSignalSpy downloaded(&downloader, &FileDownloader::downloaded);
    QSignalSpy error(&downloader, &FileDownloader::error);
    const QString saved = m_target->filePath("slow.bin");
    downloader.setFileName(saved);
    downloader.setRateFloor(rateFloor, windowMs);
    downloader.setTimeLimit(timeLimitMs);
    downloader.setUrl(m_server->baseUrl(), "slow", "bin");
    QVERIFY((aborted ? error : downloaded).wait(kWaitMs));

    QCOMPARE(error.count(), aborted ? 1 : 0);
    QCOMPARE(downloaded.count(), aborted ? 0 : 1);
    if (aborted) {
        QCOMPARE(downloader.errorCode(), int(QNetworkReply::TimeoutError));
        QVERIFY(downloader.data().isEmpty());
        QVERIFY(!QFile::exists(saved));
    } else {
        QCOMPARE(downloader.errorCode(), int(QNetworkReply::NoError));
        QCOMPARE(readFile(saved), firmware(fileSize, 9));
    }
}

void tst_Downloaders::validFileUrlGoesThroughTheNetworkManager()
{
    const QString path = m_served->filePath("local.bin");
    QVERIFY(writeFile(path, firmware(2000, 13)));
    FileDownloader downloader;
    QSignalSpy downloaded(&downloader, &FileDownloader::downloaded);
    const QUrl url = QUrl::fromLocalFile(path);
    QVERIFY(url.isValid());
    downloader.setUrl(url);
    QVERIFY(downloaded.wait(kWaitMs));
    QCOMPARE(downloader.data(), firmware(2000, 13));
    QCOMPARE(m_log->count(QString("loaded url '%1'").arg(url.toString())), 1);
    QVERIFY(!m_log->contains("loaded local file"));
}

void tst_Downloaders::verifiedPairTakesFinalNames()
{
    REQUIRE_DEVELOPMENT_KEY();
    const QByteArray body = firmware(20000, 4);
    QVERIFY(m_signer.writeFile(m_served->path(), "fw.bin", body));
    // A verified older pair lies under the final names already.
    QVERIFY(writeFile(m_target->filePath("fw.bin"), "old verified firmware"));
    QVERIFY(writeFile(m_target->filePath("fw.sig"), "old signature"));

    AuthFileDownloader downloader;
    QSignalSpy downloaded(&downloader, &AuthFileDownloader::downloaded);
    QSignalSpy error(&downloader, &AuthFileDownloader::error);
    QSignalSpy authFailed(&downloader, &AuthFileDownloader::authFailed);
    QSignalSpy progress(&downloader, &AuthFileDownloader::downloadProgress);
    downloader.setFileName(m_target->path(), "fw", "bin", "sig");
    downloader.setUrl(m_server->baseUrl(), "fw", "bin", "sig");
    QVERIFY(downloaded.wait(kWaitMs));
    QTRY_VERIFY_WITH_TIMEOUT(pairFinished(m_server->baseUrl() + "/fw.bin", m_server->baseUrl() + "/fw.sig"), kWaitMs);

    QCOMPARE(downloaded.count(), 1);
    QCOMPARE(error.count(), 0);
    QCOMPARE(authFailed.count(), 0);
    QVERIFY(!progress.isEmpty());
    QCOMPARE(progress.last().at(0).toLongLong(), qint64(body.size()));
    QCOMPARE(downloader.data(), body);
    QCOMPARE(readFile(m_target->filePath("fw.bin")), body);
    QCOMPARE(readFile(m_target->filePath("fw.sig")), readFile(m_served->filePath("fw.sig")));
    QCOMPARE(partFiles(m_target->path()), QStringList());
    QCOMPARE(m_log->count("url data OK (auth done)"), 1);
    QCOMPARE(m_log->count(QString("data size %1, sig size 345").arg(body.size())), 1);
}

void tst_Downloaders::rejectedPairLeavesFinalNames_data()
{
    QTest::addColumn<QString>("faultPath");
    QTest::addColumn<UpdateServer::Fault_t>("fault");
    QTest::addColumn<QString>("secondFaultPath");
    QTest::addColumn<bool>("wrongSignature");
    QTest::addColumn<int>("errors");
    QTest::addColumn<int>("authFailures");
    QTest::addColumn<int>("errorCode");

    const auto none = UpdateServer::FaultNone;
    const auto notFound = UpdateServer::FaultNotFound404;
    QTest::newRow("wrong signature") << "" << none << "" << true << 0 << 1 << 0;
    QTest::newRow("data 404") << "fw.bin" << notFound << "" << false << 1 << 0 << 203;
    QTest::newRow("signature 404") << "fw.sig" << notFound << "" << false << 1 << 0 << 203;
    QTest::newRow("both 404") << "fw.bin" << notFound << "fw.sig" << false << 2 << 0 << 203;
    // The cut-off data is not judged: one error, no authentication failure.
    QTest::newRow("data dropped midway") << "fw.bin" << UpdateServer::FaultDropMidway << "" << false << 1 << 0
                                         << int(QNetworkReply::RemoteHostClosedError);
    QTest::newRow("signature dropped midway") << "fw.sig" << UpdateServer::FaultDropMidway << "" << false << 1 << 0
                                              << int(QNetworkReply::RemoteHostClosedError);
    // The maker's page with status 200 counts as a missing file.
    QTest::newRow("maker page for the data")
        << "fw.bin" << UpdateServer::FaultNotFoundPage << "" << false << 1 << 0 << 203;
}

void tst_Downloaders::rejectedPairLeavesFinalNames()
{
    REQUIRE_DEVELOPMENT_KEY();
    QFETCH(QString, faultPath);
    QFETCH(UpdateServer::Fault_t, fault);
    QFETCH(QString, secondFaultPath);
    QFETCH(bool, wrongSignature);
    QFETCH(int, errors);
    QFETCH(int, authFailures);
    QFETCH(int, errorCode);

    const QByteArray body = firmware(20000, 6);
    QVERIFY(m_signer.writeFile(m_served->path(), "fw.bin", body));
    if (wrongSignature)
        QVERIFY(writeFile(m_served->filePath("fw.sig"), m_signer.signature(body + "tampered")));
    if (!faultPath.isEmpty())
        m_server->setFault(fault, faultPath);
    if (!secondFaultPath.isEmpty())
        m_server->setFault(fault, secondFaultPath);
    const QByteArray oldData = "old verified firmware";
    const QByteArray oldSig = "old signature";
    QVERIFY(writeFile(m_target->filePath("fw.bin"), oldData));
    QVERIFY(writeFile(m_target->filePath("fw.sig"), oldSig));

    AuthFileDownloader downloader;
    QSignalSpy downloaded(&downloader, &AuthFileDownloader::downloaded);
    QSignalSpy error(&downloader, &AuthFileDownloader::error);
    QSignalSpy authFailed(&downloader, &AuthFileDownloader::authFailed);
    downloader.setFileName(m_target->path(), "fw", "bin", "sig");
    downloader.setUrl(m_server->baseUrl(), "fw", "bin", "sig");
    QTRY_VERIFY_WITH_TIMEOUT(pairFinished(m_server->baseUrl() + "/fw.bin", m_server->baseUrl() + "/fw.sig"), kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(error.count() + authFailed.count(), errors + authFailures, kWaitMs);

    QCOMPARE(downloaded.count(), 0);
    QCOMPARE(error.count(), errors);
    QCOMPARE(authFailed.count(), authFailures);
    QCOMPARE(downloader.errorCode(), errorCode);
    QCOMPARE(readFile(m_target->filePath("fw.bin")), oldData);
    QCOMPARE(readFile(m_target->filePath("fw.sig")), oldSig);
    if (errors + authFailures > 0)
        QCOMPARE(partFiles(m_target->path()), QStringList());
}

void tst_Downloaders::nothingBeforeBothFilesAreIn_data()
{
    QTest::addColumn<bool>("swapped");
    QTest::newRow("signed data") << false;
    // Unsigned data over the wire with the signature of other bytes; those
    // bytes are put where the data would lie on disk while the signature is
    // still awaited. Whatever is on disk, the bytes received are checked.
    QTest::newRow("signed bytes put in its place on disk") << true;
}

void tst_Downloaders::nothingBeforeBothFilesAreIn()
{
    REQUIRE_DEVELOPMENT_KEY();
    QFETCH(bool, swapped);
    const QByteArray body = firmware(5000, 8);
    const QByteArray forged = firmware(5000, 9);
    QVERIFY(m_signer.writeFile(m_served->path(), "fw.bin", body));
    if (swapped)
        QVERIFY(writeFile(m_served->filePath("fw.bin"), forged));
    m_server->setDelay(300, "fw.sig");

    AuthFileDownloader downloader;
    QSignalSpy downloaded(&downloader, &AuthFileDownloader::downloaded);
    QSignalSpy error(&downloader, &AuthFileDownloader::error);
    QSignalSpy authFailed(&downloader, &AuthFileDownloader::authFailed);
    downloader.setFileName(m_target->path(), "fw", "bin", "sig");
    downloader.setUrl(m_server->baseUrl(), "fw", "bin", "sig");
    QTRY_VERIFY_WITH_TIMEOUT(urlFinished(m_server->baseUrl() + "/fw.bin"), kWaitMs);
    QVERIFY(!urlFinished(m_server->baseUrl() + "/fw.sig"));
    QCOMPARE(downloaded.count() + error.count() + authFailed.count(), 0);
    QVERIFY(!QFile::exists(m_target->filePath("fw.bin")));
    QCOMPARE(partFiles(m_target->path()), QStringList()); // nothing on disk before the check
    if (swapped) {
        for (const char* name : {"fw.bin", "fw.bin.part"})
            QVERIFY(writeFile(m_target->filePath(name), body));
    }
    QTRY_COMPARE_WITH_TIMEOUT(downloaded.count() + error.count() + authFailed.count(), 1, kWaitMs);

    QCOMPARE(authFailed.count(), swapped ? 1 : 0);
    QCOMPARE(downloaded.count(), swapped ? 0 : 1);
    QCOMPARE(readFile(m_target->filePath("fw.bin")), body); // the signed bytes, put there or received
    QCOMPARE(partFiles(m_target->path()), QStringList());
}

void tst_Downloaders::withoutAuthOnlyTheDataIsFetched()
{
    const QByteArray body = firmware(5000, 10);
    QVERIFY(writeFile(m_served->filePath("fw.bin"), body));

    AuthFileDownloader downloader;
    downloader.setAuthRequired(false);
    QSignalSpy downloaded(&downloader, &AuthFileDownloader::downloaded);
    downloader.setFileName(m_target->path(), "fw", "bin", "sig");
    downloader.setUrl(m_server->baseUrl(), "fw", "bin", "sig");
    QVERIFY(downloaded.wait(kWaitMs));
    QCOMPARE(m_server->requests(), QStringList{"/fw.bin"});
    QCOMPARE(readFile(m_target->filePath("fw.bin")), body);
    QCOMPARE(m_log->count("url data OK (NO auth done)"), 1);
}

void tst_Downloaders::newUrlDropsTheEarlierReply()
{
    REQUIRE_DEVELOPMENT_KEY();
    // The owner moves on to a second pair before the first is answered. The
    // first pair's answers are due well before the second's: if they were
    // still taken, they would land under the second pair's names first.
    const QByteArray first = firmware(4000, 11);
    const QByteArray second = firmware(6000, 12);
    QVERIFY(m_signer.writeFile(m_served->path(), "a.bin", first));
    QVERIFY(m_signer.writeFile(m_served->path(), "b.bin", second));
    m_server->setDelay(200, "a.bin");
    m_server->setDelay(200, "a.sig");
    m_server->setDelay(600, "b.bin");
    m_server->setDelay(600, "b.sig");

    AuthFileDownloader downloader;
    QSignalSpy downloaded(&downloader, &AuthFileDownloader::downloaded);
    QSignalSpy error(&downloader, &AuthFileDownloader::error);
    QSignalSpy authFailed(&downloader, &AuthFileDownloader::authFailed);
    downloader.setFileName(m_target->path(), "a", "bin", "sig");
    downloader.setUrl(m_server->baseUrl(), "a", "bin", "sig");
    QTRY_COMPARE_WITH_TIMEOUT(m_server->requests().size(), 2, kWaitMs);
    downloader.setFileName(m_target->path(), "b", "bin", "sig");
    downloader.setUrl(m_server->baseUrl(), "b", "bin", "sig");
    QVERIFY(downloaded.wait(kWaitMs));
    QTRY_VERIFY_WITH_TIMEOUT(pairFinished(m_server->baseUrl() + "/b.bin", m_server->baseUrl() + "/b.sig"), kWaitMs);

    QCOMPARE(downloaded.count(), 1);
    QCOMPARE(error.count() + authFailed.count(), 0);
    QCOMPARE(downloader.data(), second);
    QCOMPARE(readFile(m_target->filePath("b.bin")), second);
    QVERIFY(!QFile::exists(m_target->filePath("a.bin")));
    QCOMPARE(partFiles(m_target->path()), QStringList());
    QCOMPARE(m_log->count(QString("loaded url '%1/a.bin'").arg(m_server->baseUrl())), 0);
}

QTEST_GUILESS_MAIN(tst_Downloaders)
#include "tst_downloaders.moc"
