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
    // Before startTool(): images and the signed index on the server.
    bool offer(const QList<Firmware>& _firmware);
    // A file in the server's folder, signed with the development key or not.
    bool publish(const QString& _name, const QByteArray& _bytes, bool _signed = true);
    // Replaces the signed index with these records as they stand.
    bool writeIndex(const QList<Publisher::IndexEntry>& _entries);
    bool startSimulator(const QJsonObject& _scenario);
    // Pins the tool's serial port to the simulator's line; again after the
    // simulated stick was plugged in on a new one.
    void pinLine();
    // Creates the bridge, which opens the simulator's line.
    void startTool();
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
    // a file this rig signed with the development key.
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

    std::unique_ptr<TestSettings> m_settings;
    QTemporaryDir m_served;
    DevelopmentSigner m_signer;
    std::unique_ptr<UpdateServer> m_server;
    std::unique_ptr<StickSimulator> m_simulator;
    CProg2Gui* m_bridge = nullptr;
    bool m_ownsBridge = false;
    QMetaObject::Connection m_wireConnection;
    QList<Firmware> m_offered;
    QHash<quint16, QByteArray> m_servedImages;
    QSet<QByteArray> m_signedHashes; // SHA-256 (hex) of every file signed with the development key
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
