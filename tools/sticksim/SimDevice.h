#pragma once

#include <functional>

#include <QByteArray>
#include <QList>
#include <QString>

#include "Scenario.h"

// A ZCL OTA Upgrade request as the client hands it to the stick.
struct SimRequest
{
    quint8 zclCommand = 0;
    QByteArray payload; // without the ZCL header
};

// One ZCL OTA Upgrade client: a device of the network, or the stick taking
// its own image. Pure logic on a millisecond clock given by the caller, so
// that it runs the same in the simulator's event loop and in unit tests: the
// owner asks for the next request when dueMs() has come and hands back the
// response or the news that the request was lost.
class SimDevice
{
public:
    enum State_t
    {
        eStateIdle,       // queries its next image every query interval
        eStateTransfer,   // fetches blocks; then sends Upgrade End
        eStateRestarting, // silent until its restart delay is over
        eStateSilent,     // fell silent for good
    };

    enum Awaiting_t
    {
        eAwaitNone,
        eAwaitQuery,
        eAwaitBlock,
        eAwaitEnd
    };

    struct Stats
    {
        int queries = 0;
        int transfersStarted = 0;
        int transfersCompleted = 0;
        int restarts = 0;
        int aborts = 0;       // the server ended a transfer (or the client refused an offer)
        int interrupted = 0;  // a transfer broken off by a restart or by falling silent
        int retries = 0;      // requests sent again
        int givenUp = 0;      // transfers the client gave up for lack of answers
        int badResponses = 0; // responses whose fields did not fit the request
        int refused = 0;      // complete images whose header did not fit the offer
    };

    using EventSink = std::function<void(const QString& _text)>;

    static constexpr quint32 kMaxImageSize = 16 * 1024 * 1024;
    static constexpr quint32 kOtaFileIdentifier = 0x0BEEF11E;

    SimDevice(const SimClientConfig& _config, bool _isStick, EventSink _sink);

    const SimClientConfig& config() const { return m_config; }
    quint16 shortAddress() const { return m_config.shortAddress; }
    quint16 imageType() const { return m_config.imageType; }
    bool isStick() const { return m_isStick; }
    QString name() const; // "dev 1a2b" or "stick"

    State_t state() const { return m_state; }
    Awaiting_t awaiting() const { return m_awaiting; }
    // The ZCL response command that answers the request in flight; 0 if none.
    quint8 expectedResponse() const;

    quint32 startVersion() const { return m_config.version; }
    quint32 version() const { return m_version; }
    const QList<quint32>& versionHistory() const { return m_versionHistory; }
    int lastQueryStatus() const { return m_lastQueryStatus; } // -1 before the first answer
    quint32 offeredVersion() const { return m_offeredVersion; }
    quint32 offeredSize() const { return m_offeredSize; }
    int receivedBytes() const { return m_image.size(); }
    const Stats& stats() const { return m_stats; }
    const QList<QByteArray>& images() const { return m_images; }
    QByteArray lastImageSha256() const; // lower-case hex; empty before the first complete image
    // One line of the run's summary: versions, transfers and faults.
    QString summaryLine() const;
    // Idle and told there is nothing for it, or silent for good.
    bool isSettled() const;

    // Schedules the first query _firstDelayMs from now unless the
    // configuration fixes that moment.
    void begin(qint64 _nowMs, int _firstDelayMs);
    // When the client wants to act next; -1: it waits for an answer or is silent.
    qint64 dueMs() const;
    void queryNow(qint64 _nowMs);
    // The request due now, if there is one.
    bool takeRequest(qint64 _nowMs, SimRequest& _out);
    void onResponse(quint8 _zclCommand, const QByteArray& _payload, qint64 _nowMs);
    // The request in flight was not forwarded, or the stick gave it up.
    void onRequestLost(qint64 _nowMs);
    // The stick sent the request in flight again.
    void onResent() { ++m_stats.retries; }
    // Power cycle from outside (the stick restarting): a transfer breaks off
    // and the client comes back with the version it has.
    void powerCycle(qint64 _nowMs, const QString& _why);
    // The client runs _version from now on, as if it had been updated
    // another way; its next query reports it. The scenario's newVersion
    // does this at its time; a test may at a moment of its own choosing.
    void takeVersion(quint32 _version);
    // From its next query on the client names _imageType there (-1: its own).
    void nameImageType(int _imageType) { m_config.queryImageType = _imageType; }

private:
    void event(const QString& _text) const;
    void onQueryResponse(const QByteArray& _payload, qint64 _nowMs);
    void onBlockResponse(const QByteArray& _payload, qint64 _nowMs);
    // What is wrong with a successful block response for _offset, if anything.
    QString blockFault(const QByteArray& _payload, quint32 _offset, int _dataSize) const;
    // The last block arrived: the image is kept, and refused if it is not the device's own.
    void imageComplete(qint64 _nowMs);
    void onEndResponse(const QByteArray& _payload, qint64 _nowMs);
    void badResponse(const QString& _why, qint64 _nowMs);
    void goIdle(qint64 _nowMs);
    void restart(quint32 _versionAfter, const QString& _why, qint64 _nowMs);
    void goSilent(const QString& _why);
    bool silentTimeReached(qint64 _nowMs) const;
    // Manufacturer code and image type: its own, or another it names on purpose (-1: its own).
    QByteArray header(int _imageType = -1) const;
    // Why the complete image m_image cannot be this client's offered image;
    // empty when its OTA header fits.
    QString imageProblem() const;

    SimClientConfig m_config;
    bool m_isStick;
    EventSink m_sink;

    State_t m_state = eStateIdle;
    Awaiting_t m_awaiting = eAwaitNone;
    qint64 m_dueMs = -1;
    quint32 m_version;
    quint32 m_versionAfterRestart = 0;
    QList<quint32> m_versionHistory;
    int m_lastQueryStatus = -1;

    quint32 m_offeredVersion = 0;
    quint32 m_offeredSize = 0;
    quint8 m_endStatus = 0; // status of the Upgrade End to send
    QByteArray m_image;
    int m_nextReportQuarter = 1;
    int m_lostInRow = 0;
    bool m_restartAtOffsetDone = false;
    bool m_newVersionTaken = false;

    Stats m_stats;
    QList<QByteArray> m_images;
};
