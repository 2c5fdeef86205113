#pragma once

#include <memory>

#include <QByteArray>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QMetaObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "support/DevelopmentSigner.h"
#include "support/TestSettings.h"

class CProg2Gui;
class StickSimulator;
class UpdateServer;

// The whole tool in one event loop with the simulated stick on a real
// pseudo-terminal and the update server on loopback:
// - the tool holds older firmware from an earlier download ("backup.ini");
// - the server offers newer, signed images and a signed update index;
// - the simulator's line is pinned through "serial/ports".
// The tool's log is kept quietly; a failed test gets the last tool log
// lines, the simulator's events and its summary printed.
class EndToEndRig
{
public:
    struct Firmware
    {
        quint16 devType = 0;
        QString version;
        int payloadSize = 3000;
    };

    // One ZCL reply the tool sent, as a device saw it.
    struct WireReply
    {
        quint16 address = 0;
        quint8 responseId = 0; // 0x02 query, 0x05 block, 0x07 upgrade end
        quint8 status = 0;     // query and block responses
        quint32 fileVersion = 0;
        quint32 offset = 0;
        int dataSize = 0;
    };

    static constexpr quint8 kQueryResponse = 0x02;
    static constexpr quint8 kBlockResponse = 0x05;
    static constexpr quint8 kEndResponse = 0x07;

    EndToEndRig();
    ~EndToEndRig();

    // Whether content signed with the development key can verify in this build.
    static bool canVerifyDevelopmentContent();

    // A scenario with short intervals, a stick at version 1.0.0 and the
    // given devices; _faults and _timing are added as they stand.
    static QJsonObject scenario(const QJsonArray& _devices, const QJsonObject& _faults = QJsonObject(),
                                const QJsonObject& _timing = QJsonObject());
    static QJsonObject device(quint16 _shortAddress, quint16 _type, const QString& _version,
                              const QJsonObject& _extra = QJsonObject());

    // Before startTool(): the tool already holds this firmware.
    bool hold(const Firmware& _firmware);
    // Before startTool(): images and the signed index on the server, as
    // lumoran-publish writes it (each file's size and SHA-256, serial 1).
    bool offer(const QList<Firmware>& _firmware);
    // The offered file of _devType becomes these signed bytes, and the index
    // says so (its record's digest), as a publisher replacing the file would.
    bool offerBytes(quint16 _devType, const QByteArray& _bytes);
    // Writes the index of the offered files again: with or without each
    // file's size and SHA-256, and with _serial.
    bool republishIndex(bool _withDigests, quint64 _serial);
    // A file in the server's folder, signed with the development key or not.
    bool publish(const QString& _name, const QByteArray& _bytes, bool _signed = true);
    // Replaces the signed index with these records as they stand.
    bool writeIndex(const QList<Publisher::IndexEntry>& _entries, quint64 _serial = Publisher::kNoSerial);
    bool startSimulator(const QJsonObject& _scenario);
    // Pins the tool's serial port to the simulator's line; again after the
    // simulated stick was plugged in on a new one.
    void pinLine();
    // Creates the bridge, which opens the simulator's line.
    void startTool();
    // Deletes the bridge startTool() made, as quitting the tool would.
    void stopTool();
    // Watches a bridge created elsewhere (by the window); it is not deleted here.
    void adoptTool(CProg2Gui* _bridge);
    // What the window's "All Files" box and "Download" button do: select
    // every file that has an update, then start the download queue.
    void startDownload();

    // The bridge fetched the index at its start and verified it.
    bool isIndexVerified() const;
    bool isStickJoined() const;
    // The file list holds the offered version of every offered type, verified.
    bool holdsOffered() const;
    // The common start of an update test: waits for the stick to join and
    // the index to verify, downloads every offered file and waits until the
    // tool is idle again and holds them. False, with error() saying where it
    // stopped, otherwise.
    bool downloadOffered(int _connectMs, int _downloadMs);
    // Every device of _devices (scenario entries) is listed with eResultSuccess.
    bool allDevicesSucceeded(const QJsonArray& _devices) const;
    // The CSV of a device run's report against the simulated network: one
    // row per simulated device with its short and extended address, its
    // type, the version it started with and the one it runs now, the
    // transfers it took and the result text _results gives for its address
    // ("Updated" when none is given).
    // _attempts: devices whose attempts in the report differ from the images they were offered.
    bool reportMatchesNetwork(const QString& _csvPath, const QHash<quint16, QString>& _results, QString* _why,
                              const QHash<quint16, int>& _attempts = {}) const;

    CProg2Gui* bridge() const { return m_bridge; }
    StickSimulator* simulator() const { return m_simulator.get(); }
    UpdateServer* server() const { return m_server.get(); }
    QString updatePath() const;
    QString servedPath() const { return m_served.path(); }

    quint32 offeredVersion(quint16 _devType) const;
    QByteArray servedImage(quint16 _devType) const;
    static QByteArray sha256Hex(const QByteArray& _bytes);
    // Every image the simulated client received matches the served file of its type.
    bool imagesMatchServed(quint16 _shortAddress, int* _count, QString* _why) const;
    // Every image any simulated client (the stick included) received equals
    // a file this rig signed with the development key for that client's
    // image type and for a version the tool offered that client.
    bool everyImageSigned(int* _count, QString* _why) const;
    // The update folder holds nothing but files the rig signed, signature
    // files that verify under the development key and "backup.ini", whose
    // entries name such files; no ".part" file is left.
    bool updateFolderHoldsOnlyVerified(QString* _why) const;

    const QList<WireReply>& wire() const { return m_wire; }
    QList<quint16> offersInOrder() const; // query responses with status 0, devices only
    bool logContains(const QString& _text) const;
    int logLineCount() const;

    QString error() const { return m_error; }

private:
    void watchWire();
    QString serverFileName(const Firmware& _firmware) const;
    // Notes _bytes as signed with the development key, for the image type
    // and version its OTA header names (none without a header).
    void noteSigned(const QByteArray& _bytes);

    std::unique_ptr<TestSettings> m_settings;
    QTemporaryDir m_served;
    DevelopmentSigner m_signer;
    std::unique_ptr<UpdateServer> m_server;
    std::unique_ptr<StickSimulator> m_simulator;
    CProg2Gui* m_bridge = nullptr;
    bool m_ownsBridge = false;
    QMetaObject::Connection m_wireConnection;
    struct SignedFor
    {
        quint16 imageType = 0xFFFF; // 0xFFFF: not an OTA image
        quint32 version = 0;
    };

    QList<Firmware> m_offered;
    QList<Publisher::IndexEntry> m_indexEntries; // as offer() published them, with digests
    quint64 m_indexSerial = 1;
    QHash<quint16, QByteArray> m_servedImages;
    // SHA-256 (hex) of every file signed with the development key
    QHash<QByteArray, SignedFor> m_signed;
    // Every version the tool offered each client (the stick included)
    QHash<quint16, QSet<quint32>> m_offeredTo;
    QList<WireReply> m_wire;
    quint16 m_stickAddress = 0;
    QString m_error;
};

// Starts a fresh rig in _rig (a std::unique_ptr<EndToEndRig>) for the next
// test function, which is skipped where the build cannot verify content signed
// with the development key. A macro, since QSKIP and QVERIFY return from the
// test function.
#define START_END_TO_END_RIG(_rig)                                                                                     \
    do {                                                                                                               \
        if (!EndToEndRig::canVerifyDevelopmentContent())                                                               \
            QSKIP("this build embeds a release key; content signed with the development key cannot verify");           \
        _rig = std::make_unique<EndToEndRig>();                                                                        \
        QVERIFY2(_rig->error().isEmpty(), qPrintable(_rig->error()));                                                  \
    } while (false)
