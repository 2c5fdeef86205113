// The signature check: arbitrary signature files against a fixed data file and
// the compiled-in key, and arbitrary key bytes for loadPublicKey.
//
// Input: one mode byte, then the payload.
//   even mode: the payload is the signature file of data/signed-data.bin
//   odd mode:  the payload is a public key; when it loads, the stored valid
//              signature data/signed-data.sig is checked against it
// A signature that verifies must be the one stored or another valid one of
// the same data: so a payload that verifies under the compiled-in key while
// the stored one does not would be a finding.

#include <cstddef>
#include <cstdint>

#include <QByteArray>
#include <QFile>

#include "FuzzEnvironment.h"
#include "botan/BotanWrapper.h"

namespace {
const char* const kDataFile = LUMORAN_FUZZ_DATA_DIR "/signed-data.bin";
const char* const kStoredSignature = LUMORAN_FUZZ_DATA_DIR "/signed-data.sig";

BotanWrapper* s_embeddedKey = nullptr;
QByteArray s_sigFile;
bool s_storedSignatureValid = false;

QByteArray embeddedKey()
{
    BotanWrapper::initKeyResource();
    QFile key(":rsa/key_pub.pem");
    return key.open(QIODevice::ReadOnly) ? key.readAll() : QByteArray();
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* _argc, char*** _argv)
{
    FuzzEnvironment::init(_argc, _argv);
    FuzzEnvironment::silenceStdout();
    s_embeddedKey = new BotanWrapper;
    const QByteArray key = embeddedKey();
    if (!s_embeddedKey->loadPublicKey(key.constData(), key.size()))
        FuzzEnvironment::fail("the compiled-in key does not load");
    if (!QFile::exists(kDataFile) || !QFile::exists(kStoredSignature))
        FuzzEnvironment::fail("fuzz/data is incomplete");
    // A build with a release key cannot verify the stored signature; the
    // harness then only checks that nothing verifies at all.
    s_storedSignatureValid = s_embeddedKey->verifySigFile(kDataFile, kStoredSignature);
    s_sigFile = (FuzzEnvironment::scratchDir() + "/input.sig").toUtf8();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* _data, size_t _size)
{
    FuzzInput input(_data, _size);
    const quint8 mode = input.byte();
    const QByteArray payload = input.rest();

    if ((mode & 1) == 0) {
        if (!FuzzEnvironment::writeFile(QString::fromUtf8(s_sigFile), payload))
            FuzzEnvironment::fail("cannot write the signature file");
        const bool verified = s_embeddedKey->verifySigFile(kDataFile, s_sigFile.constData());
        FUZZ_CHECK(!verified || s_storedSignatureValid);
        FUZZ_CHECK(!verified || payload.size() <= int(BotanWrapper::kBufferSize));
        return 0;
    }

    BotanWrapper wrapper;
    if (wrapper.loadPublicKey(payload.constData(), payload.size()))
        wrapper.verifySigFile(kDataFile, kStoredSignature);
    return 0;
}
