#include "BotanWrapper.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include <QFile>
#include <QtGlobal>

#include <botan/base64.h>
#include <botan/data_src.h>
#include <botan/pubkey.h>
#include <botan/x509_key.h>

namespace {
// One shared prefix buffer: the wrapper is used from the GUI thread only.
char s_prefix[512];

void print(int _line, const char* _function, const std::string& _text)
{
    std::snprintf(s_prefix, sizeof(s_prefix), "%s(%i) %s: ", __FILE__, _line, _function);
    std::fputs(s_prefix, stdout);
    std::fputs(_text.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}
} // namespace

// The key lives in the static core library, whose resources are not
// registered unless something refers to them.
void BotanWrapper::initKeyResource()
{
    static bool s_done = false;
    if (s_done)
        return;
    s_done = true;
    Q_INIT_RESOURCE(keys);
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
BotanWrapper::BotanWrapper() : m_libraryInitializer("")
{
    initKeyResource();
}

BotanWrapper::~BotanWrapper() = default;

BotanWrapper& BotanWrapper::shared()
{
    // Never destroyed: at exit Botan's own memory pool may be gone before a
    // static verifier's key would be.
    static BotanWrapper* const s_wrapper = new BotanWrapper;
    return *s_wrapper;
}
#pragma GCC diagnostic pop

bool BotanWrapper::loadPublicKey(const char* _data, int _length)
{
    static const char* const kFunction = "BotanWrapper::loadPublicKey";
    try {
        if (!_data || _length <= 0) {
            print(__LINE__, kFunction, "no key data");
            return false;
        }
        Botan::DataSource_Memory source(reinterpret_cast<const uint8_t*>(_data), static_cast<size_t>(_length));
        std::unique_ptr<Botan::Public_Key> key(Botan::X509::load_key(source));
        if (!key) {
            print(__LINE__, kFunction, "no key found");
            return false;
        }
        m_publicKey = std::move(key);
        return true;
    } catch (const std::exception& e) {
        print(__LINE__, kFunction, std::string("Exception caught: ") + e.what());
        return false;
    }
}

bool BotanWrapper::loadEmbeddedKey()
{
    initKeyResource();
    QFile keyFile(":rsa/key_pub.pem");
    if (!keyFile.open(QIODevice::ReadOnly)) {
        print(__LINE__, "BotanWrapper::loadEmbeddedKey", "no key resource");
        return false;
    }
    const QByteArray key = keyFile.readAll();
    return loadPublicKey(key.constData(), key.size());
}

bool BotanWrapper::verify(const QByteArray& _data, const QByteArray& _signature)
{
    static const char* const kFunction = "BotanWrapper::verify";
    try {
        if (!m_publicKey) {
            print(__LINE__, kFunction, "no public key loaded");
            return false;
        }
        if (_signature.size() > int(kBufferSize)) {
            // A larger text cannot be a signature of our keys.
            print(__LINE__, kFunction, "signature too large");
            return false;
        }
        Botan::PK_Verifier verifier(*m_publicKey, "EMSA4(SHA-256)", Botan::IEEE_1363);
        verifier.update(reinterpret_cast<const uint8_t*>(_data.constData()), static_cast<size_t>(_data.size()));
        const Botan::secure_vector<uint8_t> signature =
            Botan::base64_decode(_signature.constData(), static_cast<size_t>(_signature.size()), true);
        return verifier.check_signature(signature.data(), signature.size());
    } catch (const std::exception& e) {
        print(__LINE__, kFunction, std::string("Exception caught: ") + e.what());
        return false;
    }
}

bool BotanWrapper::verifySigFile(const char* _dataFile, const char* _sigFile)
{
    return verifySigFile(QString::fromUtf8(_dataFile), QString::fromUtf8(_sigFile));
}

// The files are opened by Qt rather than by the standard library: on Windows
// a narrow path handed to a file stream is taken in the ANSI code page, which
// cannot name every folder a user may have.
bool BotanWrapper::verifySigFile(const QString& _dataFile, const QString& _sigFile)
{
    static const char* const kFunction = "BotanWrapper::verifySigFile";
    try {
        QFile data(_dataFile);
        if (!data.open(QIODevice::ReadOnly)) {
            print(__LINE__, kFunction, "could not open data file to verify '" + _dataFile.toStdString() + "'");
            return false;
        }
        if (!m_publicKey) {
            print(__LINE__, kFunction, "no public key loaded");
            return false;
        }
        Botan::PK_Verifier verifier(*m_publicKey, "EMSA4(SHA-256)", Botan::IEEE_1363);

        // A pipe or device has no size to go by; only plain files are checked.
        if (data.isSequential()) {
            print(__LINE__, kFunction, "could not read data file '" + _dataFile.toStdString() + "'");
            return false;
        }
        std::vector<char> buffer(kBufferSize);
        qint64 remaining = data.size();
        while (remaining > 0) {
            const qint64 chunk = std::min<qint64>(remaining, qint64(kBufferSize));
            if (data.read(buffer.data(), chunk) != chunk) {
                print(__LINE__, kFunction, "could not read data file '" + _dataFile.toStdString() + "'");
                return false;
            }
            verifier.update(reinterpret_cast<const uint8_t*>(buffer.data()), static_cast<size_t>(chunk));
            remaining -= chunk;
        }
        data.close();

        QFile sig(_sigFile);
        if (!sig.open(QIODevice::ReadOnly)) {
            print(__LINE__, kFunction, "could not open sig file '" + _sigFile.toStdString() + "'");
            return false;
        }
        const qint64 sigSize = sig.isSequential() ? -1 : sig.size();
        if (sigSize > qint64(kBufferSize)) {
            // A larger file cannot be a signature of our keys; it is never read.
            print(__LINE__, kFunction, "sig file too large '" + _sigFile.toStdString() + "'");
            return false;
        }
        if (sigSize < 0 || sig.read(buffer.data(), sigSize) != sigSize) {
            print(__LINE__, kFunction, "could not read sig file '" + _sigFile.toStdString() + "'");
            return false;
        }
        sig.close();

        const Botan::secure_vector<uint8_t> signature =
            Botan::base64_decode(buffer.data(), static_cast<size_t>(sigSize), true);
        return verifier.check_signature(signature.data(), signature.size());
    } catch (const std::exception& e) {
        print(__LINE__, kFunction, std::string("Exception caught: ") + e.what());
        return false;
    }
}
