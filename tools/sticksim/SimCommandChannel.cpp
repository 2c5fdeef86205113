#include "SimCommandChannel.h"

#include "SimDevice.h"
#include "SimWire.h"
#include "common/common.h"

using namespace SimWire;

namespace {
QString commandName(quint8 _command, const SimDevice* _client)
{
    switch (_command) {
    case eCmdResetToFNReq:
        return "reset poll";
    case eCmdNwkStatusReq:
        return "nwk status";
    case eCmdZclIndication:
        return _client ? _client->name() + " request" : QString("indication");
    default:
        return QString("command 0x%1").arg(_command, 2, 16, QChar('0'));
    }
}
} // namespace

SimCommandChannel::SimCommandChannel(const Scenario& _scenario, StickSimulator::Counters& _counters, Hooks _hooks)
    : m_counters(_counters), m_hooks(std::move(_hooks)), m_maxRetries(_scenario.timing.maxRetries),
      m_repeatSeqShare(_scenario.faults.repeatSeqShare)
{
    m_replyTimer.setSingleShot(true);
    m_replyTimer.setInterval(_scenario.timing.replyTimeoutMs);
    QObject::connect(&m_replyTimer, &QTimer::timeout, &m_replyTimer, [this] { onReplyTimeout(); });
}

void SimCommandChannel::enqueue(const Request& _request)
{
    m_queue.push_back(_request);
    pump();
}

bool SimCommandChannel::isPending(quint8 _command) const
{
    if (m_inFlight && m_inFlight->request.command == _command && !m_inFlight->repeatCheck)
        return true;
    for (const Request& queued : m_queue) {
        if (queued.command == _command)
            return true;
    }
    return false;
}

void SimCommandChannel::pump()
{
    if (!m_hooks.isOpen() || m_inFlight || m_queue.empty())
        return;
    const Request request = m_queue.front();
    m_queue.pop_front();

    InFlight inFlight;
    inFlight.request = request;
    inFlight.seq = nextSeq();
    inFlight.body.append(char(eFrameCommandRequest));
    inFlight.body.append(char(inFlight.seq));
    inFlight.body.append(char(request.command));
    inFlight.body.append(request.payload);
    m_inFlight = inFlight;

    if (request.command == eCmdNwkStatusReq && request.payload != m_lastReportedStatus)
        logNwkStatus(request.payload);
    m_hooks.sendFrame(inFlight.body);
    m_replyTimer.start();
}

void SimCommandChannel::logNwkStatus(const QByteArray& _record)
{
    m_lastReportedStatus = _record;
    m_hooks.event(QString("nwk status: state %1 channel %2 id %3 addr %4")
                      .arg(u8At(_record, 0))
                      .arg(u8At(_record, 1))
                      .arg(QString::fromLatin1(_record.mid(2, 8).toHex()))
                      .arg(hex16(u16At(_record, 10))));
}

quint8 SimCommandChannel::nextSeq()
{
    m_seq = m_seq >= 255 ? 1 : quint8(m_seq + 1);
    return m_seq;
}

std::vector<SimDevice*> SimCommandChannel::dropAll()
{
    std::vector<SimDevice*> clients;
    if (m_inFlight && m_inFlight->request.client && !m_inFlight->repeatCheck)
        clients.push_back(m_inFlight->request.client);
    for (const Request& request : m_queue) {
        if (request.client)
            clients.push_back(request.client);
    }
    m_inFlight.reset();
    m_queue.clear();
    m_replyTimer.stop();
    return clients;
}

void SimCommandChannel::clear()
{
    m_replyTimer.stop();
    m_queue.clear();
    m_inFlight.reset();
}

void SimCommandChannel::resume()
{
    if (m_inFlight) {
        m_hooks.sendFrame(m_inFlight->body);
        m_replyTimer.start();
    } else {
        pump();
    }
}

void SimCommandChannel::onReply(const QByteArray& _body)
{
    if (_body.size() < 2) {
        ++m_counters.ignoredReplies;
        m_hooks.event("reply without sequence number; ignored");
        return;
    }
    const quint8 seq = quint8(_body.at(1));
    if (!m_inFlight || m_inFlight->seq != seq) {
        ++m_counters.ignoredReplies;
        m_hooks.event(m_inFlight
                          ? QString("reply seq %1 while waiting for seq %2; ignored").arg(seq).arg(m_inFlight->seq)
                          : QString("reply seq %1 with no request in flight; ignored").arg(seq));
        return;
    }
    if (m_inFlight->repeatCheck) {
        onRepeatedReply(seq, _body);
        return;
    }

    QString why;
    if (!checkReply(*m_inFlight, _body, why)) {
        // Left in flight: it is repeated when its reply time is over.
        ++m_counters.ignoredReplies;
        m_hooks.event(QString("reply seq %1 to %2 %3; ignored")
                          .arg(seq)
                          .arg(commandName(m_inFlight->request.command, m_inFlight->request.client), why));
        return;
    }

    m_replyTimer.stop();
    const InFlight done = *m_inFlight;
    m_inFlight.reset();
    m_hooks.replied(done.request, _body);
    afterReply(done, _body);
}

void SimCommandChannel::onRepeatedReply(quint8 _seq, const QByteArray& _body)
{
    const bool same = _body == m_inFlight->firstReply;
    if (!same)
        ++m_counters.repeatedRepliesDiffering;
    m_hooks.event(same ? QString("repeated seq %1 answered with the same reply").arg(_seq)
                       : QString("repeated seq %1 answered with a different reply: %2 instead of %3")
                             .arg(_seq)
                             .arg(byteArrayToHex(_body, 40), byteArrayToHex(m_inFlight->firstReply, 40)));
    m_inFlight.reset();
    m_replyTimer.stop();
    pump();
}

void SimCommandChannel::afterReply(const InFlight& _done, const QByteArray& _body)
{
    if (!m_hooks.isOpen())
        return;
    if (m_hooks.chance(m_repeatSeqShare)) {
        ++m_counters.repeatedSeqs;
        InFlight repeat = _done;
        repeat.resends = 0;
        repeat.repeatCheck = true;
        repeat.firstReply = _body;
        m_inFlight = repeat;
        m_hooks.event(QString("fault: seq %1 sent again after its reply").arg(_done.seq));
        m_hooks.sendFrame(_done.body);
        m_replyTimer.start();
        return;
    }
    pump();
}

bool SimCommandChannel::checkReply(const InFlight& _inFlight, const QByteArray& _body, QString& _why) const
{
    switch (_inFlight.request.command) {
    case eCmdResetToFNReq:
        if (_body.size() < 3) {
            _why = QString("has no flag (%1 bytes)").arg(_body.size());
            return false;
        }
        return true;
    case eCmdNwkStatusReq:
        return true; // the empty reply
    case eCmdZclIndication:
        break;
    default:
        return true;
    }
    const SimDevice* client = _inFlight.request.client;
    if (_body.size() < 3 + kReplyHeaderSize) {
        _why = QString("is too short (%1 bytes)").arg(_body.size());
        return false;
    }
    if (quint8(_body.at(2)) != eCmdZclIndication) {
        _why = QString("carries command 0x%1").arg(quint8(_body.at(2)), 2, 16, QChar('0'));
        return false;
    }
    const QByteArray header = _body.mid(3, kReplyHeaderSize);
    const quint16 address = u16At(header, 1);
    if (client && address != client->shortAddress()) {
        _why = QString("is addressed to %1").arg(hex16(address));
        return false;
    }
    const quint8 response = u8At(header, 19);
    if (response != _inFlight.request.expectedResponse) {
        _why = QString("has response command 0x%1, expected 0x%2")
                   .arg(response, 2, 16, QChar('0'))
                   .arg(_inFlight.request.expectedResponse, 2, 16, QChar('0'));
        return false;
    }
    return true;
}

void SimCommandChannel::onReplyTimeout()
{
    if (!m_inFlight || !m_hooks.isOpen())
        return;
    InFlight& inFlight = *m_inFlight;
    if (inFlight.resends >= m_maxRetries) {
        m_hooks.gaveUp(QString("no reply to seq %1 (%2) after %3 repetitions")
                           .arg(inFlight.seq)
                           .arg(commandName(inFlight.request.command, inFlight.request.client))
                           .arg(inFlight.resends));
        return;
    }
    ++inFlight.resends;
    ++m_counters.resends;
    if (inFlight.request.client && !inFlight.repeatCheck)
        inFlight.request.client->onResent();
    m_hooks.event(QString("no reply to seq %1 (%2): sent again (%3/%4)")
                      .arg(inFlight.seq)
                      .arg(commandName(inFlight.request.command, inFlight.request.client))
                      .arg(inFlight.resends)
                      .arg(m_maxRetries));
    m_hooks.sendFrame(inFlight.body);
    m_replyTimer.start();
}
