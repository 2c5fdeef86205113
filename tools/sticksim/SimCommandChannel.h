#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QString>
#include <QTimer>

#include "StickSimulator.h"

class SimDevice;

// The stick's numbered command requests to the tool: one in flight, the
// others queued behind it. A request without a reply goes out again with the
// same sequence number until its retries are used up; a reply must carry the
// sequence number in flight and fit its request, or it is ignored and the
// request stays in flight. The scenario's repeated sequence numbers happen
// here too: an answered request goes out once more and its second reply is
// only compared with the first.
class SimCommandChannel
{
public:
    struct Request
    {
        quint8 command = 0;
        QByteArray payload;
        SimDevice* client = nullptr; // the OTA client of an indication
        // Fixed when the request is made: the client may change its mind
        // (fall silent, restart) while the request travels.
        quint8 expectedResponse = 0;
    };

    // What the channel needs of the stick that owns it. Called synchronously,
    // in the order the stick itself would act.
    struct Hooks
    {
        std::function<void(const QByteArray& _body)> sendFrame;
        std::function<void(const QString& _text)> event;
        // Drawn from the stick's generator, so that a seed gives one run.
        std::function<bool(double _share)> chance;
        // The stick runs and is connected: requests may go out.
        std::function<bool()> isOpen;
        // A reply that fits the request in flight; the request is done.
        std::function<void(const Request& _request, const QByteArray& _body)> replied;
        // The request in flight got no reply after its last repetition.
        std::function<void(const QString& _why)> gaveUp;
    };

    SimCommandChannel(const Scenario& _scenario, StickSimulator::Counters& _counters, Hooks _hooks);

    // Queued behind the others; it goes out with the next pump().
    void add(const Request& _request) { m_queue.push_back(_request); }
    void enqueue(const Request& _request);
    // A request for _command waits or is in flight (a fault's repetition
    // does not count).
    bool isPending(quint8 _command) const;
    // Sends the next queued request if none is in flight and the stick is open.
    void pump();
    void onReply(const QByteArray& _body);

    // Throws away the request in flight and the queue; returns the clients
    // whose requests went with them, so that they can be told.
    std::vector<SimDevice*> dropAll();
    void clear();
    // The request in flight waits without a reply time (the stick is busy
    // writing something else).
    void pause() { m_replyTimer.stop(); }
    // The request in flight goes out again, or the next one if none is.
    void resume();
    // A new connection numbers its requests afresh.
    void restartNumbering() { m_seq = 0; }
    // The next network status is logged even if it is the last one reported.
    void forgetReportedStatus() { m_lastReportedStatus.clear(); }
    // Never 0: right after a connect the tool takes 0 for a repetition.
    quint8 nextSeq();

private:
    struct InFlight
    {
        Request request;
        quint8 seq = 0;
        QByteArray body;
        int resends = 0;
        // A fault repetition of an answered request: its reply is only
        // compared with the first one.
        bool repeatCheck = false;
        QByteArray firstReply;
    };

    void onRepeatedReply(quint8 _seq, const QByteArray& _body);
    bool checkReply(const InFlight& _inFlight, const QByteArray& _body, QString& _why) const;
    // After a reply was taken: the scenario may repeat the request's
    // sequence number; otherwise the next request goes out.
    void afterReply(const InFlight& _done, const QByteArray& _body);
    void onReplyTimeout();
    void logNwkStatus(const QByteArray& _record);

    StickSimulator::Counters& m_counters;
    Hooks m_hooks;
    int m_maxRetries;
    double m_repeatSeqShare;

    std::deque<Request> m_queue;
    std::optional<InFlight> m_inFlight;
    quint8 m_seq = 0;
    QByteArray m_lastReportedStatus;
    QTimer m_replyTimer;
};
