#pragma once

#include <cstddef>
#include <memory>

#include <QByteArray>
#include <QString>

#include <botan/pk_keys.h>

// Botan 2 keeps LibraryInitializer only for compatibility and marks it (and
// its header) deprecated. The wrapper still holds one for its lifetime; only
// this include and the member below are exempt from the warning.
#pragma push_macro("BOTAN_DEPRECATED_HEADER")
#undef BOTAN_DEPRECATED_HEADER
#define BOTAN_DEPRECATED_HEADER(hdr)
#include <botan/init.h>
#pragma pop_macro("BOTAN_DEPRECATED_HEADER")

// Checks detached signatures (RSASSA-PSS, SHA-256, IEEE 1363 format, Base64
// text) of files on disk against one loaded public key. Reports go to
// standard output; callers only see true or false.
class BotanWrapper
{
public:
    // The work buffer; a signature file must fit into it.
    static constexpr std::size_t kBufferSize = 4096;

    BotanWrapper();
    ~BotanWrapper();
    BotanWrapper(const BotanWrapper&) = delete;
    BotanWrapper& operator=(const BotanWrapper&) = delete;

    // Parses a public key (PEM or DER) from memory and keeps it for verifySigFile.
    bool loadPublicKey(const char* _data, int _length);
    // True only when _sigFile holds a valid signature of the bytes of _dataFile.
    // The files are read through Qt, so any path Qt can open will do.
    bool verifySigFile(const QString& _dataFile, const QString& _sigFile);
    // The same with UTF-8 encoded paths (as QString::toUtf8 gives them).
    bool verifySigFile(const char* _dataFile, const char* _sigFile);
    // True only when _signature (the text of a signature file) is a valid
    // signature of _data: the bytes checked are the bytes the caller then
    // uses, not a file that could change in between.
    bool verify(const QByteArray& _data, const QByteArray& _signature);
    // Loads the compiled-in public key (":rsa/key_pub.pem").
    bool loadEmbeddedKey();

    // Registers the compiled-in public key as the resource ":rsa/key_pub.pem".
    static void initKeyResource();
    // The process's one verifier, made on first use: the downloaders and the
    // signed-file check share it and its loaded key.
    static BotanWrapper& shared();

private:
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    Botan::LibraryInitializer m_libraryInitializer;
#pragma GCC diagnostic pop
    std::unique_ptr<Botan::Public_Key> m_publicKey;
};
