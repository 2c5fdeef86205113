#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QScopeGuard>
#include <QTcpSocket>
#include <QtTest>

#include "common/common.h"
#include "support/DevelopmentSigner.h"
#include "support/TestFiles.h"

namespace {
constexpr int kWaitMs = 15000;

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run runTool(const QString& _program, const QStringList& _args)
{
    QProcess process;
    process.start(_program, _args);
    Run run;
    if (!process.waitForFinished(kWaitMs))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

Run publish(const QStringList& _args)
{
    return runTool(QStringLiteral(LUMORAN_PUBLISH_EXE), _args);
}

quint32 le(const QByteArray& _bytes, int _offset, int _size)
{
    quint32 value = 0;
    for (int i = _size - 1; i >= 0; --i)
        value = (value << 8) | static_cast<uchar>(_bytes.at(_offset + i));
    return value;
}
} // namespace

// The publishing tool and the update server as the scripts and the demo use
// them: as processes.
class tst_Tools : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void otaImageHeader_data();
    void otaImageHeader();
    void signAndVerify();
    void signedIndex();
    void badInput_data();
    void badInput();
    void updateServerProcess();

private:
    QTemporaryDir m_dir;
    QString m_key;
    QString m_pubKey;
};

void tst_Tools::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_key = DevelopmentSigner::privateKeyPath();
    m_pubKey = DevelopmentSigner::publicKeyPath();
    QVERIFY(QFile::exists(QStringLiteral(LUMORAN_PUBLISH_EXE)));
    QVERIFY(QFile::exists(QStringLiteral(LUMORAN_UPDATESERVER_EXE)));
}

void tst_Tools::otaImageHeader_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("version");
    QTest::addColumn<int>("size");
    QTest::newRow("plug, 1000 bytes") << 4 << "1.2.7" << 1000;
    QTest::newRow("stick, empty payload") << 6 << "3.10.255" << 0;
    QTest::newRow("wall transmitter, large") << 2 << "255.0.1" << 200000;
}

void tst_Tools::otaImageHeader()
{
    QFETCH(int, type);
    QFETCH(QString, version);
    QFETCH(int, size);
    const QString path = m_dir.filePath("image.ota");
    const Run run = publish({"image", "--type", QString::number(type), "--version", version, "--size",
                             QString::number(size), "--out", path, "--string", "demo"});
    QCOMPARE(run.exitCode, 0);
    const QByteArray image = readFile(path);
    QCOMPARE(image.size(), 56 + 6 + size);
    QCOMPARE(le(image, 0, 4), 0x0BEEF11Eu);
    QCOMPARE(le(image, 4, 2), 0x0100u);        // header version
    QCOMPARE(le(image, 6, 2), 56u);            // header length
    QCOMPARE(le(image, 8, 2), 0u);             // no optional fields
    QCOMPARE(le(image, 10, 2), 0x1C3Du);       // manufacturer
    QCOMPARE(le(image, 12, 2), quint32(type)); // image type
    QCOMPARE(le(image, 14, 4), parseVersion(version));
    QCOMPARE(image.mid(20, 32), QByteArray("demo").leftJustified(32, '\0'));
    QCOMPARE(le(image, 52, 4), quint32(image.size())); // total image size
    QCOMPARE(le(image, 56, 2), 0u);                    // upgrade image tag
    QCOMPARE(le(image, 58, 4), quint32(size));
}

void tst_Tools::signAndVerify()
{
    const QString data = m_dir.filePath("fw.ota");
    const QString second = m_dir.filePath("second.bin");
    QVERIFY(writeFile(data, QByteArray(5000, 'f')));
    QVERIFY(writeFile(second, "second"));
    Run run = publish({"sign", "--key", m_key, data, second});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(QFile::exists(m_dir.filePath("fw.sig")));
    QVERIFY(QFile::exists(m_dir.filePath("second.sig")));
    QCOMPARE(readFile(m_dir.filePath("fw.sig")).trimmed().size(), 344);

    run = publish({"verify", "--pubkey", m_pubKey, data});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.out.contains("signature holds"));

    // A changed byte, another file's signature, no signature at all.
    QVERIFY(writeFile(data, QByteArray(4999, 'f') + 'g'));
    run = publish({"verify", "--pubkey", m_pubKey, data});
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.out.contains("signature does NOT hold"));
    QVERIFY(QFile::copy(m_dir.filePath("second.sig"), m_dir.filePath("third.sig")));
    QVERIFY(writeFile(m_dir.filePath("third.bin"), "third"));
    QCOMPARE(publish({"verify", "--pubkey", m_pubKey, m_dir.filePath("third.bin")}).exitCode, 1);
    QVERIFY(QFile::remove(m_dir.filePath("second.sig")));
    run = publish({"verify", "--pubkey", m_pubKey, second});
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.out.contains("could not open sig file '"));
}

void tst_Tools::signedIndex()
{
    const QString manifest = m_dir.filePath("manifest.txt");
    QVERIFY(writeFile(manifest, "# device type;application;version;file[;sys]\n"
                                "4;ZLL plug;1.2.7;plug_1.2.7.ota\n"
                                "\n"
                                "6;Stick & co;3.1.0;fw/stick.bin;win\n"
                                "4;ZLL plug;1.2.9;plug_1.2.9.ota;linux\n"));
    // The files lie in the output folder under the names the tool fetches.
    const QString out = m_dir.filePath("site");
    QVERIFY(QDir().mkpath(out));
    const QMap<QString, QByteArray> files{{"plug_1.2.7.ota", QByteArray(3000, 'a')},
                                          {"stick.bin", QByteArray("stick")},
                                          {"plug_1.2.9.ota", QByteArray()}};
    for (auto it = files.begin(); it != files.end(); ++it)
        QVERIFY(writeFile(out + "/" + it.key(), it.value()));
    const auto digest = [&files](const QString& _name) {
        return QString("%1 %2")
            .arg(files.value(_name).size())
            .arg(QString::fromLatin1(QCryptographicHash::hash(files.value(_name), QCryptographicHash::Sha256).toHex()));
    };

    // Each publication into the folder carries a higher serial than the last.
    for (int round = 1; round <= 2; ++round) {
        const Run run = publish({"index", "--key", m_key, "--out", out, manifest});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(publish({"verify", "--pubkey", m_pubKey, out + "/update.xml"}).exitCode, 0);

        // apps (serial) / updates (one per type, in order) / update.
        QXmlStreamReader xml(readFile(out + "/update.xml"));
        QStringList seen;
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement())
                continue;
            const QXmlStreamAttributes a = xml.attributes();
            if (xml.name() == QLatin1String("apps"))
                seen << QString("apps %1").arg(a.value("serial").toString());
            else if (xml.name() == QLatin1String("updates"))
                seen << QString("updates %1 %2").arg(a.value("devid").toString(), a.value("application").toString());
            else if (xml.name() == QLatin1String("update"))
                seen << QString("update %1 %2 %3 %4 %5")
                            .arg(a.value("version").toString(), a.value("fileName").toString(),
                                 a.value("sys").toString(), a.value("size").toString(), a.value("sha256").toString());
            else
                seen << xml.name().toString();
        }
        QVERIFY(!xml.hasError());
        QCOMPARE(seen, (QStringList{QString("apps %1").arg(round), "updates 4 ZLL plug",
                                    "update 1.2.7 plug_1.2.7.ota  " + digest("plug_1.2.7.ota"),
                                    "update 1.2.9 plug_1.2.9.ota linux " + digest("plug_1.2.9.ota"),
                                    "updates 6 Stick & co", "update 3.1.0 fw/stick.bin win " + digest("stick.bin")}));
    }

    // An explicit serial must be above the published one; it is taken as it stands.
    Run run = publish({"index", "--key", m_key, "--out", out, "--serial", "2", manifest});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains("serial 2 is not above 2"), qPrintable(run.err));
    run = publish({"index", "--key", m_key, "--out", out, "--serial", "2024061501", manifest});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(readFile(out + "/update.xml").contains("<apps serial=\"2024061501\">"));
}

void tst_Tools::badInput_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("manifest");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    QTest::newRow("no command") << QStringList() << QByteArray() << 2 << "usage";
    QTest::newRow("unknown command") << QStringList{"publish"} << QByteArray() << 2 << "unknown command";
    QTest::newRow("image with a two-part version")
        << QStringList{"image", "--type", "4", "--version", "1.2", "--size", "1", "--out", "x"} << QByteArray() << 2
        << "--version";
    QTest::newRow("manifest version out of range")
        << QStringList{"index"} << QByteArray("4;plug;1.256.0;p.ota\n") << 1 << "line 1: bad version";
    QTest::newRow("manifest line too short")
        << QStringList{"index"} << QByteArray("# header\n4;plug;1.0.0\n") << 1 << "line 2: expected";
    QTest::newRow("manifest names a file that is not there")
        << QStringList{"index"} << QByteArray("4;plug;1.0.0;absent.ota\n") << 1 << "cannot read";
    QTest::newRow("serial that is no number")
        << QStringList{"index", "--serial", "0x10"} << QByteArray("4;plug;1.0.0;p.ota\n") << 2 << "--serial";
    QTest::newRow("key that is no key") << QStringList{"sign", "--key", "%manifest%", "%manifest%"}
                                        << QByteArray("not a key") << 1 << "cannot load key";
}

void tst_Tools::badInput()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, manifest);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const QString manifestPath = m_dir.filePath("bad-manifest.txt");
    QVERIFY(writeFile(manifestPath, manifest));
    if (args.value(0) == "index")
        args << "--key" << m_key << "--out" << m_dir.filePath("bad-site") << manifestPath;
    args.replaceInStrings("%manifest%", manifestPath);
    const Run run = publish(args);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY(!QFile::exists(m_dir.filePath("bad-site/update.xml")));
}

void tst_Tools::updateServerProcess()
{
    QTemporaryDir root;
    QVERIFY(writeFile(root.filePath("fw.bin"), QByteArray(70000, 'w')));
    QVERIFY(writeFile(root.filePath("hidden.bin"), "present but faulted"));
    QProcess server;
    server.start(QStringLiteral(LUMORAN_UPDATESERVER_EXE),
                 {"--root", root.path(), "--port", "0", "--fault", "404:hidden.bin"});
    QVERIFY(server.waitForStarted(kWaitMs));
    const auto stop = qScopeGuard([&server] {
        server.kill();
        server.waitForFinished(kWaitMs);
    });
    QTRY_VERIFY_WITH_TIMEOUT(server.canReadLine(), kWaitMs);
    bool ok = false;
    const quint16 port = static_cast<quint16>(server.readLine().trimmed().toUInt(&ok));
    QVERIFY(ok && port > 0);

    QNetworkAccessManager manager;
    auto get = [&manager, port](const QString& _path, int* _status) {
        const QUrl url(QString("http://127.0.0.1:%1/%2").arg(port).arg(_path));
        QNetworkReply* reply = manager.get(QNetworkRequest(url));
        QSignalSpy finished(reply, &QNetworkReply::finished);
        finished.wait(kWaitMs);
        *_status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QByteArray body = reply->readAll();
        reply->deleteLater();
        return body;
    };
    int status = 0;
    QCOMPARE(get("fw.bin", &status), QByteArray(70000, 'w'));
    QCOMPARE(status, 200);
    QVERIFY(get("hidden.bin", &status).contains("404 Not Found"));
    QCOMPARE(status, 404);
    get("nothing.bin", &status);
    QCOMPARE(status, 404);

    // No way out of the root, whatever a client sends.
    QTcpSocket raw;
    raw.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(raw.waitForConnected(kWaitMs));
    raw.write("GET /%2e%2e/" + QFileInfo(root.path()).fileName().toUtf8() + "/fw.bin HTTP/1.1\r\nHost: x\r\n\r\n");
    QByteArray answer;
    while (raw.state() == QAbstractSocket::ConnectedState && raw.waitForReadyRead(kWaitMs))
        answer += raw.readAll();
    answer += raw.readAll();
    QVERIFY2(answer.startsWith("HTTP/1.1 404"), answer.constData());
}

QTEST_GUILESS_MAIN(tst_Tools)
#include "tst_tools.moc"
