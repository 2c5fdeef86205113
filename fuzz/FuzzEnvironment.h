#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include <QByteArray>
#include <QList>
#include <QString>

class QSettings;
class QTemporaryDir;

// What every harness needs once per process: the application object, a quiet
// log (the tool's categories are off, anything else is dropped;
// LUMORAN_FUZZ_LOG=1 shows it all) and a scratch folder that is removed at exit. Harness inputs are cut with the reader
// below.
class FuzzEnvironment
{
public:
    // Creates the application object on the first call.
    static void init(int* _argc, char*** _argv);
    // Sends standard output (the signature wrapper's reports) to /dev/null.
    static void silenceStdout();
    // The process's scratch folder; created by init().
    static QString scratchDir();
    // A settings object at _folder/Vandrel/Vandrel Lumoran Tool.ini, installed as
    // the process's settings (getUpdatePath() then lies under _folder). The
    // update index URL is invalid, so a bridge never reaches the network.
    static std::unique_ptr<QSettings> installSettings(const QString& _folder);
    // Runs what the event loop has queued (deferred deletes, queued calls).
    static void processEvents();
    // Writes _bytes to _path; false on any failure.
    static bool writeFile(const QString& _path, const QByteArray& _bytes);

    // Ends the process with a message when a harness's own check fails, so
    // that libFuzzer keeps the input as a finding.
    [[noreturn]] static void fail(const char* _what);
};

// Cuts a fuzz input into pieces; reading past the end yields zeros and empty arrays.
class FuzzInput
{
public:
    FuzzInput(const uint8_t* _data, std::size_t _size);

    bool atEnd() const { return m_pos >= m_size; }
    quint8 byte();
    quint16 u16();
    // _size bytes, fewer at the end of the input.
    QByteArray bytes(int _size);
    // A piece preceded by its one-byte length.
    QByteArray lengthPrefixed() { return bytes(byte()); }
    QByteArray rest();

private:
    const uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition))                                                                                              \
            FuzzEnvironment::fail(__FILE__ ": check failed: " #condition);                                             \
    } while (false)
