#include <cstdio>
#include <memory>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <QtTest>

#include <botan/auto_rng.h>
#include <botan/base64.h>
#include <botan/data_src.h>
#include <botan/pubkey.h>
#include <botan/rsa.h>
#include <botan/x509_key.h>

#include "botan/BotanWrapper.h"
#include "support/DevelopmentSigner.h"
#include "support/TestFiles.h"

namespace {
// Collects what is written to the process's standard output meanwhile.
class StdoutCapture
{
public:
    StdoutCapture()
    {
        std::fflush(stdout);
        // A C stream of its own on the file: Qt's handle of it is no C
        // descriptor on Windows.
        if (!m_file.open() || !(m_sink = std::fopen(QFile::encodeName(m_file.fileName()).constData(), "wb")))
            return;
        m_saved = dup(fileno(stdout));
        dup2(fileno(m_sink), fileno(stdout));
    }
    ~StdoutCapture() { restore(); }

    QByteArray text()
    {
        restore();
        m_file.seek(0);
        return m_file.readAll();
    }

private:
    void restore()
    {
        if (m_saved < 0)
            return;
        std::fflush(stdout);
        dup2(m_saved, fileno(stdout));
        close(m_saved);
        m_saved = -1;
        std::fclose(m_sink);
        m_sink = nullptr;
    }

    QTemporaryFile m_file;
    FILE* m_sink = nullptr;
    int m_saved = -1;
};

QByteArray base64(const QByteArray& _raw)
{
    return _raw.toBase64();
}

QByteArray patterned(int _size)
{
    QByteArray bytes(_size, '\0');
    for (int i = 0; i < _size; ++i)
        bytes[i] = static_cast<char>((i * 31 + 7) & 0xFF);
    return bytes;
}
} // namespace

class tst_BotanWrapper : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void embeddedKeyForm();
    void verifySigFile_data();
    void verifySigFile();
    void loadPublicKeyRejectsGarbage();
    void signatureOfAnotherKeyFails();

private:
    bool loadEmbeddedKey(BotanWrapper& _wrapper);
    bool loadSigningKey(BotanWrapper& _wrapper);

    QTemporaryDir m_dir;
    std::unique_ptr<DevelopmentSigner> m_signer;
};

void tst_BotanWrapper::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_signer = std::make_unique<DevelopmentSigner>();
    QVERIFY(m_signer->isValid());
}

bool tst_BotanWrapper::loadEmbeddedKey(BotanWrapper& _wrapper)
{
    QFile key(":rsa/key_pub.pem");
    if (!key.open(QIODevice::ReadOnly))
        return false;
    const QByteArray pem = key.readAll();
    return _wrapper.loadPublicKey(pem.constData(), pem.size());
}

// The key that checks content signed here: the embedded one, unless the
// build embeds a release key.
bool tst_BotanWrapper::loadSigningKey(BotanWrapper& _wrapper)
{
    if (DevelopmentSigner::embeddedKeyIsDevelopmentKey())
        return loadEmbeddedKey(_wrapper);
    QFile key(DevelopmentSigner::publicKeyPath());
    if (!key.open(QIODevice::ReadOnly))
        return false;
    const QByteArray pem = key.readAll();
    return _wrapper.loadPublicKey(pem.constData(), pem.size());
}

void tst_BotanWrapper::embeddedKeyForm()
{
    BotanWrapper wrapper; // registers the resource
    const QByteArray pem = readFile(":rsa/key_pub.pem");
    QVERIFY(!pem.isEmpty());
    QVERIFY(!pem.contains('\r'));
    QVERIFY(pem.endsWith('\n'));
    const QList<QByteArray> lines = pem.left(pem.size() - 1).split('\n');
    QCOMPARE(lines.first(), QByteArray("-----BEGIN PUBLIC KEY-----"));
    QCOMPARE(lines.last(), QByteArray("-----END PUBLIC KEY-----"));
    const QList<QByteArray> body = lines.mid(1, lines.size() - 2);
    for (int i = 0; i < body.size() - 1; ++i)
        QCOMPARE(body.at(i).size(), 64);
    QVERIFY(body.last().size() > 0 && body.last().size() <= 64);

    Botan::DataSource_Memory source(reinterpret_cast<const uint8_t*>(pem.constData()), size_t(pem.size()));
    std::unique_ptr<Botan::Public_Key> key(Botan::X509::load_key(source));
    auto* rsa = dynamic_cast<Botan::RSA_PublicKey*>(key.get());
    QVERIFY(rsa);
    QCOMPARE(rsa->key_length(), size_t(2048));
    QCOMPARE(rsa->get_e(), Botan::BigInt(65537));
    QVERIFY(loadEmbeddedKey(wrapper));
}

// Each row starts from a data file and its signature made by the publishing
// code and then spoils one thing.
void tst_BotanWrapper::verifySigFile_data()
{
    QTest::addColumn<int>("dataSize");
    QTest::addColumn<QString>("mutation");
    QTest::addColumn<bool>("expected");
    QTest::addColumn<QString>("printed"); // expected in the printed text; empty: nothing printed
    QTest::addColumn<QString>("folder");  // below the temporary folder, where both files lie

    QTest::newRow("several buffers") << 10000 << "none" << true << ""
                                     << "";
    QTest::newRow("exactly one buffer") << 4096 << "none" << true << ""
                                        << "";
    QTest::newRow("empty data file") << 0 << "none" << true << ""
                                     << "";
    QTest::newRow("base64 wrapped in 64-character lines") << 5000 << "wrap" << true << ""
                                                          << "";
    QTest::newRow("CRLF line breaks and trailing blank lines") << 5000 << "crlf" << true << ""
                                                               << "";
    QTest::newRow("whitespace up to 4096 bytes") << 100 << "pad4096" << true << ""
                                                 << "";
    QTest::newRow("foreign character") << 100 << "foreign" << false << "Exception caught: "
                                       << "";
    QTest::newRow("one data byte changed") << 10000 << "flip" << false << ""
                                           << "";
    QTest::newRow("signature one byte short") << 100 << "short" << false << ""
                                              << "";
    QTest::newRow("signature one byte long") << 100 << "long" << false << ""
                                             << "";
    QTest::newRow("signature of other data") << 100 << "other" << false << ""
                                             << "";
    QTest::newRow("signature file over 4096 bytes") << 100 << "pad4097" << false << "sig file too large '%sig%'"
                                                    << "";
    QTest::newRow("missing signature file") << 100 << "nosig" << false << "could not open sig file '%sig%'"
                                            << "";
    QTest::newRow("missing data file") << 100 << "nodata" << false << "could not open data file to verify '%data%'"
                                       << "";
    // Files in a folder whose name no single-byte code page holds all of.
    const QString foreign = QString::fromUtf8("Zoë Ørsted/Документы/工具");
    QTest::newRow("non-ASCII folder") << 5000 << "none" << true << "" << foreign;
    QTest::newRow("non-ASCII folder, one data byte changed") << 5000 << "flip" << false << "" << foreign;
    QTest::newRow("non-ASCII folder, missing signature file")
        << 100 << "nosig" << false << "could not open sig file '%sig%'" << foreign;
}

void tst_BotanWrapper::verifySigFile()
{
    QFETCH(int, dataSize);
    QFETCH(QString, mutation);
    QFETCH(bool, expected);
    QFETCH(QString, printed);
    QFETCH(QString, folder);

    const QDir dir(m_dir.filePath(folder));
    QVERIFY(dir.mkpath("."));
    const QString dataPath = dir.filePath("data.bin");
    const QString sigPath = dir.filePath("data.sig");
    QByteArray data = patterned(dataSize);
    QVERIFY(writeFile(dataPath, data));
    QVERIFY(m_signer->sign(dataPath));
    QByteArray sig = readFile(sigPath).trimmed();
    QCOMPARE(sig.size(), 344); // 256 bytes

    if (mutation == "wrap") {
        QByteArray wrapped;
        for (int i = 0; i < sig.size(); i += 64)
            wrapped += sig.mid(i, 64) + "\n";
        sig = wrapped;
    } else if (mutation == "crlf") {
        sig = sig.left(100) + "\r\n" + sig.mid(100) + "\r\n\r\n \t";
    } else if (mutation == "pad4096") {
        sig += QByteArray(4096 - sig.size(), '\n');
    } else if (mutation == "pad4097") {
        sig += QByteArray(4097 - sig.size(), '\n');
    } else if (mutation == "foreign") {
        sig[150] = '*';
    } else if (mutation == "flip") {
        data[dataSize / 2] = static_cast<char>(data.at(dataSize / 2) ^ 0x01);
        QVERIFY(writeFile(dataPath, data));
    } else if (mutation == "short") {
        sig = base64(QByteArray::fromBase64(sig).left(255));
    } else if (mutation == "long") {
        sig = base64(QByteArray::fromBase64(sig) + '\0');
    } else if (mutation == "other") {
        sig = m_signer->signature(data + "x");
    }
    QVERIFY(writeFile(sigPath, sig));
    if (mutation == "nosig")
        QVERIFY(QFile::remove(sigPath));
    if (mutation == "nodata")
        QVERIFY(QFile::remove(dataPath));

    BotanWrapper wrapper;
    QVERIFY(loadSigningKey(wrapper));

    StdoutCapture capture;
    const bool result = wrapper.verifySigFile(dataPath, sigPath);
    const QString text = QString::fromUtf8(capture.text());
    QCOMPARE(result, expected);
    {
        // The 8-bit form takes the same paths in UTF-8.
        StdoutCapture quiet;
        QCOMPARE(wrapper.verifySigFile(dataPath.toUtf8().constData(), sigPath.toUtf8().constData()), expected);
        QCOMPARE(QString::fromUtf8(quiet.text()), text);
    }
    if (printed.isEmpty()) {
        QCOMPARE(text, QString());
    } else {
        const QString line = QString(printed).replace("%sig%", sigPath).replace("%data%", dataPath);
        QVERIFY2(text.contains(line), qPrintable(text));
        // Every printed line carries "<file>(<line>) <function>: ".
        const QRegularExpression prefix("^\\S*BotanWrapper\\.cpp\\(\\d+\\) BotanWrapper::verifySigFile: ");
        QVERIFY2(prefix.match(text).hasMatch(), qPrintable(text));
        QVERIFY(text.endsWith('\n'));
    }
}

void tst_BotanWrapper::loadPublicKeyRejectsGarbage()
{
    BotanWrapper wrapper;
    StdoutCapture capture;
    const QByteArray garbage = "-----BEGIN PUBLIC KEY-----\nnot a key\n-----END PUBLIC KEY-----\n";
    QVERIFY(!wrapper.loadPublicKey(garbage.constData(), garbage.size()));
    const QString text = QString::fromLocal8Bit(capture.text());
    QVERIFY2(text.contains("BotanWrapper::loadPublicKey: Exception caught: "), qPrintable(text));

    // Without any key loaded, nothing verifies.
    const QString dataPath = m_dir.filePath("nokey.bin");
    QVERIFY(writeFile(dataPath, "abc"));
    QVERIFY(m_signer->sign(dataPath));
    StdoutCapture quiet;
    QVERIFY(!wrapper.verifySigFile(dataPath.toStdString().c_str(), m_dir.filePath("nokey.sig").toStdString().c_str()));
}

void tst_BotanWrapper::signatureOfAnotherKeyFails()
{
    // A well-formed signature of the right length, made by a foreign key.
    Botan::AutoSeeded_RNG rng;
    Botan::RSA_PrivateKey foreign(rng, 2048);
    Botan::PK_Signer signer(foreign, rng, "EMSA4(SHA-256,MGF1,32)", Botan::IEEE_1363);
    const QByteArray data = patterned(3000);
    const std::vector<uint8_t> raw =
        signer.sign_message(reinterpret_cast<const uint8_t*>(data.constData()), size_t(data.size()), rng);
    QCOMPARE(raw.size(), size_t(256));
    const QString dataPath = m_dir.filePath("foreign.bin");
    const QString sigPath = m_dir.filePath("foreign.sig");
    QVERIFY(writeFile(dataPath, data));
    QVERIFY(writeFile(sigPath, QByteArray::fromStdString(Botan::base64_encode(raw))));

    BotanWrapper wrapper;
    QVERIFY(loadSigningKey(wrapper));
    QVERIFY(!wrapper.verifySigFile(dataPath.toStdString().c_str(), sigPath.toStdString().c_str()));

    // The same key verifies its own signature: the failure above is the key's.
    const std::vector<uint8_t> pub = foreign.subject_public_key();
    const QByteArray der(reinterpret_cast<const char*>(pub.data()), int(pub.size()));
    QVERIFY(wrapper.loadPublicKey(der.constData(), der.size()));
    QVERIFY(wrapper.verifySigFile(dataPath.toStdString().c_str(), sigPath.toStdString().c_str()));
}

QTEST_GUILESS_MAIN(tst_BotanWrapper)
#include "tst_botanwrapper.moc"
