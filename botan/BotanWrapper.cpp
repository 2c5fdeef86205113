#include "BotanWrapper.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <fstream>
#include <string>
#include <vector>

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

// Size of an open stream, leaving it positioned at its start; -1 when unknown.
long long streamSize(std::ifstream& _stream)
{
    _stream.seekg(0, std::ios::end);
    const std::streamoff size = _stream.tellg();
    _stream.seekg(0, std::ios::beg);
    if (!_stream || size < 0)
        return -1;
    return static_cast<long long>(size);
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

bool BotanWrapper::verifySigFile(const char* _dataFile, const char* _sigFile)
{
    static const char* const kFunction = "BotanWrapper::verifySigFile";
    try {
        std::ifstream data(_dataFile, std::ios::in | std::ios::binary);
        if (!data.is_open()) {
            print(__LINE__, kFunction, std::string("could not open data file to verify '") + _dataFile + "'");
            return false;
        }
        if (!m_publicKey) {
            print(__LINE__, kFunction, "no public key loaded");
            return false;
        }
        Botan::PK_Verifier verifier(*m_publicKey, "EMSA4(SHA-256)", Botan::IEEE_1363);

        std::vector<char> buffer(kBufferSize);
        long long remaining = streamSize(data);
        if (remaining < 0) {
            print(__LINE__, kFunction, std::string("could not read data file '") + _dataFile + "'");
            return false;
        }
        while (remaining > 0) {
            const std::streamsize chunk = static_cast<std::streamsize>(std::min<long long>(remaining, kBufferSize));
            data.read(buffer.data(), chunk);
            if (data.gcount() != chunk) {
                print(__LINE__, kFunction, std::string("could not read data file '") + _dataFile + "'");
                return false;
            }
            verifier.update(reinterpret_cast<const uint8_t*>(buffer.data()), static_cast<size_t>(chunk));
            remaining -= chunk;
        }
        data.close();

        std::ifstream sig(_sigFile, std::ios::in | std::ios::binary);
        if (!sig.is_open()) {
            print(__LINE__, kFunction, std::string("could not open sig file '") + _sigFile + "'");
            return false;
        }
        const long long sigSize = streamSize(sig);
        if (sigSize < 0 || sigSize > static_cast<long long>(kBufferSize)) {
            // A larger file cannot be a signature of our keys; it is never read.
            print(__LINE__, kFunction, std::string("sig file too large '") + _sigFile + "'");
            return false;
        }
        sig.read(buffer.data(), static_cast<std::streamsize>(sigSize));
        if (sig.gcount() != static_cast<std::streamsize>(sigSize)) {
            print(__LINE__, kFunction, std::string("could not read sig file '") + _sigFile + "'");
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
