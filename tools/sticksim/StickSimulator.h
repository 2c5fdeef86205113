#pragma once

#include <memory>
#include <random>
#include <vector>

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include "Scenario.h"
#include "SimDevice.h"
#include "SimLine.h"
#include "link/FrameDeframer.h"

class SimCommandChannel;

// The USB radio stick and the devices of its network, on the far end of a
// serial line. The stick is the active side: it asks to connect until the
// tool accepts, then sends numbered command requests one at a time (reset
// poll, network status, the devices' OTA requests) and repeats a request
// with the same sequence number when no reply comes. Faults of the scenario
// are injected on the way. Runs entirely in the event loop: it never blocks,
// sleeps or exits, so it can share the loop with the tool in a test.
class StickSimulator : public QObject
{
    Q_OBJECT
public:
    enum StickState_t
    {
        eStickStopped,
        eStickConnecting, // connect requests until the tool accepts
        eStickConnected,  // command requests
        eStickRestarting, // silent
        eStickLinkCut,    // neither writes nor reads
        eStickRubbish,    // writes rubbish, its own traffic waits
        eStickUnplugged,  // its end of the line is closed
        eStickDeaf,       // reads nothing, repeats one request
    };

    enum NwkState_t : quint8
    {
        eNwkDisconnected = 0,
        eNwkDiscovering = 1,
        eNwkDiscoveryFailed = 2,
        eNwkJoined = 3,
    };

    struct Counters
    {
        int connectRequests = 0;
        int connects = 0;
        int linkLosses = 0;
        int stickRestarts = 0;
        int framesSent = 0;
        int framesReceived = 0;
        int corrupted = 0;
        int duplicated = 0;
        int repeatedSeqs = 0;
        int repeatedRepliesDiffering = 0;
        int droppedReplies = 0;
        int resends = 0;
        int ignoredReplies = 0;
        int unknownFrames = 0;
        int deafRepeats = 0; // requests repeated while deaf
    };

    explicit StickSimulator(const Scenario& _scenario, QObject* _parent = nullptr);
    ~StickSimulator() override;

    // Settings that must be made before start().
    void setDevicePath(const QString& _path) { m_devicePath = _path; }
    void setBaud(int _baud) { m_line.setBaud(_baud); }
    void setRxBaud(int _rxBaud) { m_line.setRxBaud(_rxBaud); }
    void setSeed(quint32 _seed) { m_seed = _seed; }
    void setStopAfterMs(qint64 _ms) { m_stopAfterMs = _ms; }

    bool start(QString& _error);
    // Ends the run: no more frames, every timer stopped, finished() emitted
    // once. The line stays open so the tool sees a silent stick.
    void stop();
    bool isRunning() const { return m_running; }
    // The stick neither writes nor reads for _forMs, then connects again, as
    // a scenario's link cut does. For tests that need the cut at a moment of
    // their own choosing, such as in the middle of a transfer.
    void cutLink(qint64 _forMs);
    // The stick restarts at once, as a scenario's stick restart does: silent
    // for its restart delay, then it connects again.
    void restartNow();
    // The stick writes _head, _fillBytes bytes that hold no delimiter, then
    // _tail, as fast as the line takes them; its own traffic waits meanwhile
    // and then goes on where it stopped (a request in flight goes out again).
    void sendRubbish(const QByteArray& _head, qint64 _fillBytes, const QByteArray& _tail);
    bool isSendingRubbish() const { return m_state == eStickRubbish; }
    // The stick is pulled out: its end of the line closes, so that the tool's
    // port fails on every call. After _forMs it is plugged in again on a new
    // line (linePath() changes), as a USB stick plugged in again may get
    // another name, and connects.
    void unplug(qint64 _forMs);
    // The stick finds itself in a network with another id, as a scenario's
    // network id change does, and reports it at once.
    void changeNetworkNow();
    // The stick goes deaf, as a scenario's deafness does: it stops reading
    // the line, so that what the tool writes piles up there, and sends one
    // request again and again with the same sequence number, as fast as the
    // line takes it. After _forMs (0: never) it restarts: what piled up is
    // thrown away and it connects again.
    void beDeaf(qint64 _forMs);

    QString linePath() const { return m_line.peerPath(); }
    const SimLine& line() const { return m_line; }
    qint64 elapsedMs() const;
    StickState_t stickState() const { return m_state; }
    quint8 networkState() const { return m_nwkState; }
    QByteArray networkId() const { return m_networkId; }
    const Counters& counters() const { return m_counters; }
    const Scenario& scenario() const { return m_scenario; }

    const SimDevice& stickClient() const { return *m_stickClient; }
    QList<const SimDevice*> devices() const;
    const SimDevice* device(quint16 _shortAddress) const;
    // The same device, for a test that changes its behaviour in mid-run.
    SimDevice* deviceToSteer(quint16 _shortAddress);

    QStringList events() const { return m_events; }
    QStringList summary() const;

signals:
    void eventLogged(const QString& _line); // elapsed seconds, a blank, the event
    void stickConnected();
    void imageCompleted(quint16 _shortAddress, const QByteArray& _sha256Hex);
    void rubbishSent();
    void finished();

private:
    void event(const QString& _text);
    bool chance(double _share);
    quint32 randomBelow(quint32 _bound);
    qint64 now() const { return elapsedMs(); }

    void enterConnecting();
    void sendConnectRequest();
    void onConnected();
    void leaveConnected(const QString& _why);
    void loseRequests();

    void sendFrame(const QByteArray& _body);
    void onBytes(const QByteArray& _bytes);
    void onFrame(const QByteArray& _body);
    // A reply that fits the request it answers.
    void handleReply(quint8 _command, SimDevice* _client, const QByteArray& _body);

    void enqueueStickRequest(quint8 _command);

    void runClients();
    void reschedule();
    bool canForward(const SimDevice& _client) const;
    void afterClientResponse(SimDevice& _client, int _imagesBefore);

    void requestNwkStatus();
    void startFactoryReset();
    void onDiscoveryDone();
    void restartStick(const QString& _why);
    void onStickTimer();
    void topUpRubbish();
    void repeatWhileDeaf();
    void checkSettled();

    Scenario m_scenario;
    QString m_devicePath;
    quint32 m_seed;
    qint64 m_stopAfterMs;
    bool m_running = false;

    SimLine m_line;
    FrameDeframer m_deframer;
    QElapsedTimer m_clock;
    std::mt19937 m_rng;

    StickState_t m_state = eStickStopped;
    quint8 m_nwkState;
    quint8 m_channel;
    QByteArray m_networkId;

    std::unique_ptr<SimDevice> m_stickClient;
    std::vector<std::unique_ptr<SimDevice>> m_devices;

    std::unique_ptr<SimCommandChannel> m_requests;
    int m_connectRequestsInRow = 0;

    QTimer m_connectTimer;
    QTimer m_resetPollTimer;
    QTimer m_nwkStatusTimer;
    QTimer m_discoveryTimer;
    QTimer m_stickTimer; // end of a restart or of a link cut
    QTimer m_scheduleTimer;
    QTimer m_stopTimer;
    QTimer m_rubbishTimer;
    QTimer m_deafTimer;
    QByteArray m_deafFrame;
    qint64 m_rubbishLeft = 0;
    QByteArray m_rubbishTail;
    StickState_t m_stateBeforeRubbish = eStickStopped;

    Counters m_counters;
    QStringList m_events;
};
