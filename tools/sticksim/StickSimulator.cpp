#include "StickSimulator.h"

#include <algorithm>

#include "SimWire.h"
#include "common/common.h"
#include "link/FrameCodec.h"

using namespace SimWire;

namespace {
constexpr int kMaxEvents = 20000; // the newest are kept in a long run
constexpr int kFirstQuerySpreadMs = 1000;
constexpr int kConnectLogEvery = 10;
// Rubbish goes into the line's queue in pieces while less than this waits there.
constexpr int kRubbishPiece = 16 * 1024;
constexpr int kRubbishQueued = 32 * 1024;
// A deaf stick repeats its request every millisecond, this many bytes of them at a time.
constexpr int kDeafBytesPerTick = 2048;

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

StickSimulator::StickSimulator(const Scenario& _scenario, QObject* _parent)
    : QObject(_parent), m_scenario(_scenario), m_seed(_scenario.seed), m_stopAfterMs(_scenario.stopAfterMs),
      m_nwkState(_scenario.stick.networkState), m_channel(_scenario.stick.channel),
      m_networkId(_scenario.stick.networkId)
{
    const auto sink = [this](const QString& _text) { event(_text); };
    m_stickClient = std::make_unique<SimDevice>(m_scenario.stick.client, true, sink);
    for (const SimClientConfig& config : m_scenario.devices)
        m_devices.push_back(std::make_unique<SimDevice>(config, false, sink));

    const SimTiming& timing = m_scenario.timing;
    m_connectTimer.setInterval(timing.connectIntervalMs);
    connect(&m_connectTimer, &QTimer::timeout, this, &StickSimulator::sendConnectRequest);
    m_replyTimer.setSingleShot(true);
    m_replyTimer.setInterval(timing.replyTimeoutMs);
    connect(&m_replyTimer, &QTimer::timeout, this, &StickSimulator::onReplyTimeout);
    m_resetPollTimer.setInterval(timing.resetPollMs);
    connect(&m_resetPollTimer, &QTimer::timeout, this, [this] { enqueueStickRequest(eCmdResetToFNReq); });
    m_nwkStatusTimer.setInterval(timing.nwkStatusMs);
    connect(&m_nwkStatusTimer, &QTimer::timeout, this, &StickSimulator::requestNwkStatus);
    m_discoveryTimer.setSingleShot(true);
    connect(&m_discoveryTimer, &QTimer::timeout, this, &StickSimulator::onDiscoveryDone);
    m_stickTimer.setSingleShot(true);
    m_stickTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_stickTimer, &QTimer::timeout, this, &StickSimulator::onStickTimer);
    m_scheduleTimer.setSingleShot(true);
    m_scheduleTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_scheduleTimer, &QTimer::timeout, this, &StickSimulator::runClients);
    m_stopTimer.setSingleShot(true);
    m_stopTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_stopTimer, &QTimer::timeout, this, [this] {
        event(QString("run time of %1 ms is over").arg(m_stopAfterMs));
        stop();
    });

    m_rubbishTimer.setInterval(1);
    connect(&m_rubbishTimer, &QTimer::timeout, this, &StickSimulator::topUpRubbish);
    m_deafTimer.setInterval(1);
    connect(&m_deafTimer, &QTimer::timeout, this, &StickSimulator::repeatWhileDeaf);

    connect(&m_line, &SimLine::received, this, &StickSimulator::onBytes);
    connect(&m_line, &SimLine::peerClosedChanged, this, [this](bool _closed) {
        event(_closed ? "tool closed the line" : "tool opened the line");
        if (!_closed && m_running && m_state == eStickConnecting)
            sendConnectRequest(); // no need to make the tool wait for the next interval
    });
}

StickSimulator::~StickSimulator() = default;

qint64 StickSimulator::elapsedMs() const
{
    return m_clock.isValid() ? m_clock.elapsed() : 0;
}

bool StickSimulator::start(QString& _error)
{
    if (m_running) {
        _error = "already running";
        return false;
    }
    const bool opened = m_devicePath.isEmpty() ? m_line.openPty(_error) : m_line.openDevice(m_devicePath, _error);
    if (!opened)
        return false;

    m_rng.seed(m_seed);
    m_clock.start();
    m_running = true;
    event(QString("line %1, seed %2, %3 devices").arg(m_line.peerPath()).arg(m_seed).arg(m_devices.size()));

    m_stickClient->begin(0, m_scenario.stick.client.queryIntervalMs);
    for (auto& device : m_devices)
        device->begin(0, int(randomBelow(kFirstQuerySpreadMs)));

    const SimFaults& faults = m_scenario.faults;
    for (const SimLinkCut& cut : faults.linkCuts) {
        QTimer::singleShot(int(cut.atMs), Qt::PreciseTimer, this, [this, cut] {
            if (m_running)
                cutLink(cut.forMs);
        });
    }
    for (const qint64 at : faults.stickRestartsAtMs)
        QTimer::singleShot(int(at), Qt::PreciseTimer, this, &StickSimulator::restartNow);
    if (faults.networkIdChangeAtMs >= 0)
        QTimer::singleShot(int(faults.networkIdChangeAtMs), Qt::PreciseTimer, this, &StickSimulator::changeNetworkNow);
    if (faults.deafAtMs >= 0) {
        QTimer::singleShot(int(faults.deafAtMs), Qt::PreciseTimer, this,
                           [this, forMs = faults.deafForMs] { beDeaf(forMs); });
    }
    if (m_stopAfterMs > 0)
        m_stopTimer.start(int(m_stopAfterMs));

    enterConnecting();
    reschedule();
    return true;
}

void StickSimulator::stop()
{
    if (!m_running)
        return;
    m_running = false;
    m_state = eStickStopped;
    for (QTimer* timer : {&m_connectTimer, &m_replyTimer, &m_resetPollTimer, &m_nwkStatusTimer, &m_discoveryTimer,
                          &m_stickTimer, &m_scheduleTimer, &m_stopTimer, &m_rubbishTimer, &m_deafTimer})
        timer->stop();
    m_queue.clear();
    m_inFlight.reset();
    m_line.setDiscarding(true);
    event("simulation stopped");
    emit finished();
}

QList<const SimDevice*> StickSimulator::devices() const
{
    QList<const SimDevice*> list;
    for (const auto& device : m_devices)
        list.append(device.get());
    return list;
}

SimDevice* StickSimulator::deviceToSteer(quint16 _shortAddress)
{
    return const_cast<SimDevice*>(device(_shortAddress));
}

const SimDevice* StickSimulator::device(quint16 _shortAddress) const
{
    for (const auto& device : m_devices) {
        if (device->shortAddress() == _shortAddress)
            return device.get();
    }
    return nullptr;
}

void StickSimulator::event(const QString& _text)
{
    const QString line = QString::number(elapsedMs() / 1000.0, 'f', 3) + " " + _text;
    m_events.append(line);
    if (m_events.size() > kMaxEvents)
        m_events.removeFirst();
    emit eventLogged(line);
}

// Raw generator output mapped by hand: the sequence of choices is then the
// same for a seed on every platform.
bool StickSimulator::chance(double _share)
{
    if (_share <= 0.0)
        return false;
    return double(m_rng()) / 4294967296.0 < _share;
}

quint32 StickSimulator::randomBelow(quint32 _bound)
{
    return _bound == 0 ? 0 : quint32(m_rng() % _bound);
}

// ---- connection ---------------------------------------------------------

void StickSimulator::enterConnecting()
{
    loseRequests();
    m_resetPollTimer.stop();
    m_nwkStatusTimer.stop();
    m_replyTimer.stop();
    m_state = eStickConnecting;
    m_connectRequestsInRow = 0;
    m_lastReportedStatus.clear();
    sendConnectRequest();
    m_connectTimer.start();
}

void StickSimulator::sendConnectRequest()
{
    if (m_state != eStickConnecting)
        return;
    ++m_counters.connectRequests;
    ++m_connectRequestsInRow;
    if (m_connectRequestsInRow == 1 || m_connectRequestsInRow % kConnectLogEvery == 0)
        event(QString("stick connect request #%1").arg(m_connectRequestsInRow));
    sendFrame(QByteArray(1, char(eFrameConnectRequest)));
}

void StickSimulator::onConnected()
{
    m_connectTimer.stop();
    m_state = eStickConnected;
    m_seq = 0;
    ++m_counters.connects;
    event(QString("stick connected after %1 connect requests").arg(m_connectRequestsInRow));
    emit stickConnected();
    requestNwkStatus();
    m_resetPollTimer.start();
    m_nwkStatusTimer.start();
    m_stickClient->queryNow(now());
    reschedule();
}

void StickSimulator::leaveConnected(const QString& _why)
{
    ++m_counters.linkLosses;
    event(QString("link lost: %1").arg(_why));
    enterConnecting();
}

void StickSimulator::loseRequests()
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
    for (SimDevice* client : clients)
        client->onRequestLost(now());
    reschedule();
}

// ---- frames -------------------------------------------------------------

void StickSimulator::sendFrame(const QByteArray& _body)
{
    const QByteArray framed = FrameCodec::encode(_body);
    ++m_counters.framesSent;
    int copies = 1;
    if (chance(m_scenario.faults.duplicateShare)) {
        copies = 2;
        ++m_counters.duplicated;
        event(QString("fault: frame %1 sent twice").arg(byteArrayToHex(_body, 3)));
    }
    for (int i = 0; i < copies; ++i) {
        QByteArray bytes = framed;
        if (chance(m_scenario.faults.corruptShare)) {
            // Inside the delimiters, so the frame still arrives whole and
            // fails its CRC check.
            const int index = 1 + int(randomBelow(quint32(bytes.size() - 2)));
            bytes[index] = char(bytes.at(index) ^ (1 << randomBelow(8)));
            ++m_counters.corrupted;
            event(QString("fault: frame %1 corrupted at byte %2").arg(byteArrayToHex(_body, 3)).arg(index));
        }
        m_line.write(bytes);
    }
}

void StickSimulator::onBytes(const QByteArray& _bytes)
{
    if (!m_running)
        return;
    m_deframer.feed(_bytes, [this](const QByteArray& _body) { onFrame(_body); });
}

void StickSimulator::onFrame(const QByteArray& _body)
{
    if (!m_running || _body.isEmpty())
        return;
    ++m_counters.framesReceived;
    const quint8 type = quint8(_body.at(0));
    if ((type == eFrameConnectAccept || type == eFrameCommandReply) && chance(m_scenario.faults.dropReplyShare)) {
        ++m_counters.droppedReplies;
        event(QString("fault: reply %1 dropped").arg(byteArrayToHex(_body, 3)));
        return;
    }
    switch (type) {
    case eFrameConnectAccept:
        if (m_state == eStickConnecting)
            onConnected();
        else
            event("connect accept while not connecting; ignored");
        return;
    case eFrameCommandReply:
        if (m_state == eStickConnected)
            onReply(_body);
        else
            event(QString("reply %1 while not connected; ignored").arg(byteArrayToHex(_body, 3)));
        return;
    default:
        ++m_counters.unknownFrames;
        event(QString("unknown frame of %1 bytes: %2").arg(_body.size()).arg(byteArrayToHex(_body, 24)));
        return;
    }
}

void StickSimulator::onReply(const QByteArray& _body)
{
    if (_body.size() < 2) {
        ++m_counters.ignoredReplies;
        event("reply without sequence number; ignored");
        return;
    }
    const quint8 seq = quint8(_body.at(1));
    if (!m_inFlight || m_inFlight->seq != seq) {
        ++m_counters.ignoredReplies;
        event(m_inFlight ? QString("reply seq %1 while waiting for seq %2; ignored").arg(seq).arg(m_inFlight->seq)
                         : QString("reply seq %1 with no request in flight; ignored").arg(seq));
        return;
    }

    if (m_inFlight->repeatCheck) {
        const bool same = _body == m_inFlight->firstReply;
        if (!same)
            ++m_counters.repeatedRepliesDiffering;
        event(same ? QString("repeated seq %1 answered with the same reply").arg(seq)
                   : QString("repeated seq %1 answered with a different reply: %2 instead of %3")
                         .arg(seq)
                         .arg(byteArrayToHex(_body, 40), byteArrayToHex(m_inFlight->firstReply, 40)));
        m_inFlight.reset();
        m_replyTimer.stop();
        pump();
        return;
    }

    QString why;
    if (!checkReply(*m_inFlight, _body, why)) {
        // Left in flight: it is repeated when its reply time is over.
        ++m_counters.ignoredReplies;
        event(QString("reply seq %1 to %2 %3; ignored")
                  .arg(seq)
                  .arg(commandName(m_inFlight->request.command, m_inFlight->request.client), why));
        return;
    }

    m_replyTimer.stop();
    const InFlight done = *m_inFlight;
    m_inFlight.reset();
    handleReply(done, _body);
    if (!m_running || m_state != eStickConnected)
        return;

    if (chance(m_scenario.faults.repeatSeqShare)) {
        ++m_counters.repeatedSeqs;
        InFlight repeat = done;
        repeat.resends = 0;
        repeat.repeatCheck = true;
        repeat.firstReply = _body;
        m_inFlight = repeat;
        event(QString("fault: seq %1 sent again after its reply").arg(done.seq));
        sendFrame(done.body);
        m_replyTimer.start();
        return;
    }
    pump();
}

bool StickSimulator::checkReply(const InFlight& _inFlight, const QByteArray& _body, QString& _why) const
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

void StickSimulator::handleReply(const InFlight& _done, const QByteArray& _body)
{
    switch (_done.request.command) {
    case eCmdResetToFNReq:
        if (quint8(_body.at(2)) != 0) {
            event(QString("reset poll -> 0x%1: reset to factory new").arg(quint8(_body.at(2)), 2, 16, QChar('0')));
            startFactoryReset();
        }
        return;
    case eCmdNwkStatusReq:
        return;
    case eCmdZclIndication:
        if (SimDevice* client = _done.request.client) {
            const int imagesBefore = client->images().size();
            client->onResponse(u8At(_body, 3 + 19), _body.mid(3 + kReplyHeaderSize), now());
            afterClientResponse(*client, imagesBefore);
        }
        return;
    default:
        return;
    }
}

void StickSimulator::onReplyTimeout()
{
    if (!m_inFlight || m_state != eStickConnected)
        return;
    InFlight& inFlight = *m_inFlight;
    if (inFlight.resends >= m_scenario.timing.maxRetries) {
        leaveConnected(QString("no reply to seq %1 (%2) after %3 repetitions")
                           .arg(inFlight.seq)
                           .arg(commandName(inFlight.request.command, inFlight.request.client))
                           .arg(inFlight.resends));
        return;
    }
    ++inFlight.resends;
    ++m_counters.resends;
    if (inFlight.request.client && !inFlight.repeatCheck)
        inFlight.request.client->onResent();
    event(QString("no reply to seq %1 (%2): sent again (%3/%4)")
              .arg(inFlight.seq)
              .arg(commandName(inFlight.request.command, inFlight.request.client))
              .arg(inFlight.resends)
              .arg(m_scenario.timing.maxRetries));
    sendFrame(inFlight.body);
    m_replyTimer.start();
}

// ---- requests -----------------------------------------------------------

void StickSimulator::enqueue(const Request& _request)
{
    m_queue.push_back(_request);
    pump();
}

void StickSimulator::enqueueStickRequest(quint8 _command)
{
    if (m_state != eStickConnected)
        return;
    // The stick's own polls are not stacked up behind a slow tool.
    if (m_inFlight && m_inFlight->request.command == _command && !m_inFlight->repeatCheck)
        return;
    for (const Request& queued : m_queue) {
        if (queued.command == _command)
            return;
    }
    Request request;
    request.command = _command;
    if (_command == eCmdNwkStatusReq)
        request.payload = nwkStatusRecord(m_nwkState, m_channel, m_networkId, m_scenario.stick.client.shortAddress);
    enqueue(request);
}

void StickSimulator::pump()
{
    if (!m_running || m_state != eStickConnected || m_inFlight || m_queue.empty())
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

    if (request.command == eCmdNwkStatusReq && request.payload != m_lastReportedStatus) {
        m_lastReportedStatus = request.payload;
        event(QString("nwk status: state %1 channel %2 id %3 addr %4")
                  .arg(u8At(request.payload, 0))
                  .arg(u8At(request.payload, 1))
                  .arg(QString::fromLatin1(request.payload.mid(2, 8).toHex()))
                  .arg(hex16(u16At(request.payload, 10))));
    }
    sendFrame(inFlight.body);
    m_replyTimer.start();
}

// Never 0: right after a connect the tool takes 0 for a repetition.
quint8 StickSimulator::nextSeq()
{
    m_seq = m_seq >= 255 ? 1 : quint8(m_seq + 1);
    return m_seq;
}

// ---- OTA clients --------------------------------------------------------

bool StickSimulator::canForward(const SimDevice& _client) const
{
    if (!m_running || m_state != eStickConnected)
        return false;
    return _client.isStick() || m_nwkState == eNwkJoined;
}

void StickSimulator::runClients()
{
    if (!m_running)
        return;
    const qint64 t = now();
    std::vector<SimDevice*> clients{m_stickClient.get()};
    for (auto& device : m_devices)
        clients.push_back(device.get());
    for (SimDevice* client : clients) {
        const qint64 due = client->dueMs();
        if (due < 0 || due > t)
            continue;
        SimRequest request;
        if (!client->takeRequest(t, request))
            continue;
        if (!canForward(*client)) {
            client->onRequestLost(t);
            continue;
        }
        Request indication;
        indication.command = eCmdZclIndication;
        indication.client = client;
        indication.expectedResponse = client->expectedResponse();
        indication.payload =
            indicationHeader(client->shortAddress(), client->config().endpoint, request.zclCommand) + request.payload;
        m_queue.push_back(indication);
    }
    pump();
    reschedule();
    checkSettled();
}

void StickSimulator::reschedule()
{
    if (!m_running) {
        m_scheduleTimer.stop();
        return;
    }
    qint64 next = -1;
    const auto consider = [&next](const SimDevice& _client) {
        const qint64 due = _client.dueMs();
        if (due >= 0 && (next < 0 || due < next))
            next = due;
    };
    consider(*m_stickClient);
    for (const auto& device : m_devices)
        consider(*device);
    if (next < 0) {
        m_scheduleTimer.stop();
        return;
    }
    m_scheduleTimer.start(int(std::max<qint64>(0, next - now())));
}

void StickSimulator::afterClientResponse(SimDevice& _client, int _imagesBefore)
{
    if (_client.images().size() > _imagesBefore)
        emit imageCompleted(_client.shortAddress(), _client.lastImageSha256());
    if (&_client == m_stickClient.get() && _client.state() == SimDevice::eStateRestarting)
        restartStick("link silent while the stick starts its new image");
    reschedule();
    checkSettled();
}

void StickSimulator::checkSettled()
{
    if (!m_running || !m_scenario.stopWhenNoImage)
        return;
    if (!m_stickClient->isSettled())
        return;
    for (const auto& device : m_devices) {
        if (!device->isSettled())
            return;
    }
    event("every client was told there is no image for it");
    stop();
}

// ---- stick and network events -------------------------------------------

void StickSimulator::requestNwkStatus()
{
    enqueueStickRequest(eCmdNwkStatusReq);
}

void StickSimulator::startFactoryReset()
{
    m_nwkState = eNwkDiscovering;
    event("stick resets to factory new and discovers a network");
    requestNwkStatus();
    m_discoveryTimer.start(m_scenario.timing.discoveryMs);
}

void StickSimulator::onDiscoveryDone()
{
    if (!m_running)
        return;
    for (char& byte : m_networkId)
        byte = char(randomBelow(256));
    m_nwkState = eNwkJoined;
    event(QString("stick joined network %1").arg(QString::fromLatin1(m_networkId.toHex())));
    requestNwkStatus();
}

void StickSimulator::restartStick(const QString& _why)
{
    const int delay = m_scenario.stick.client.restartDelayMs;
    event(QString("%1; silent for %2 ms").arg(_why).arg(delay));
    m_connectTimer.stop();
    loseRequests();
    m_resetPollTimer.stop();
    m_nwkStatusTimer.stop();
    if (m_stickClient->state() != SimDevice::eStateRestarting)
        m_stickClient->powerCycle(now(), "with the stick");
    m_state = eStickRestarting;
    m_line.setDiscarding(true);
    m_stickTimer.start(delay);
    reschedule();
}

void StickSimulator::changeNetworkNow()
{
    if (!m_running)
        return;
    for (char& byte : m_networkId)
        byte = char(randomBelow(256));
    event(QString("fault: network id changes to %1").arg(QString::fromLatin1(m_networkId.toHex())));
    requestNwkStatus();
}

void StickSimulator::restartNow()
{
    if (!m_running)
        return;
    ++m_counters.stickRestarts;
    restartStick("fault: stick restarts");
}

void StickSimulator::cutLink(qint64 _forMs)
{
    if (!m_running)
        return;
    event(QString("fault: link cut for %1 ms").arg(_forMs));
    m_connectTimer.stop();
    loseRequests();
    m_resetPollTimer.stop();
    m_nwkStatusTimer.stop();
    m_state = eStickLinkCut;
    m_line.setDiscarding(true);
    m_stickTimer.start(int(_forMs));
}

void StickSimulator::sendRubbish(const QByteArray& _head, qint64 _fillBytes, const QByteArray& _tail)
{
    if (!m_running || m_state == eStickRubbish)
        return;
    event(QString("fault: %1 bytes of rubbish").arg(_head.size() + _fillBytes + _tail.size()));
    m_stateBeforeRubbish = m_state;
    m_state = eStickRubbish;
    m_replyTimer.stop();
    m_rubbishLeft = _fillBytes;
    m_rubbishTail = _tail;
    m_line.write(_head);
    topUpRubbish();
    m_rubbishTimer.start();
}

void StickSimulator::topUpRubbish()
{
    if (!m_running || m_state != eStickRubbish) {
        m_rubbishTimer.stop();
        return;
    }
    static const QByteArray piece(kRubbishPiece, char(0x55));
    while (m_rubbishLeft > 0 && m_line.queuedBytes() < kRubbishQueued) {
        const int size = int(qMin<qint64>(m_rubbishLeft, kRubbishPiece));
        m_line.write(size == kRubbishPiece ? piece : piece.left(size));
        m_rubbishLeft -= size;
    }
    if (m_rubbishLeft > 0 || m_line.queuedBytes() > 0)
        return;
    if (!m_rubbishTail.isEmpty()) {
        m_line.write(m_rubbishTail);
        m_rubbishTail.clear();
        return;
    }
    m_rubbishTimer.stop();
    m_state = m_stateBeforeRubbish;
    event("rubbish sent");
    if (m_state == eStickConnected) {
        if (m_inFlight) {
            sendFrame(m_inFlight->body);
            m_replyTimer.start();
        } else {
            pump();
        }
    }
    reschedule();
    emit rubbishSent();
}

void StickSimulator::beDeaf(qint64 _forMs)
{
    if (!m_running || m_state != eStickConnected)
        return;
    event(_forMs > 0 ? QString("fault: deaf for %1 ms").arg(_forMs) : QString("fault: deaf for good"));
    loseRequests();
    m_resetPollTimer.stop();
    m_nwkStatusTimer.stop();
    m_state = eStickDeaf;
    m_line.setReading(false);
    // One reset poll: answered once, then with the tool's stored reply.
    QByteArray body;
    body.append(char(eFrameCommandRequest));
    body.append(char(nextSeq()));
    body.append(char(eCmdResetToFNReq));
    m_deafFrame = FrameCodec::encode(body);
    m_deafTimer.start();
    if (_forMs > 0)
        m_stickTimer.start(int(_forMs));
}

void StickSimulator::repeatWhileDeaf()
{
    if (!m_running || m_state != eStickDeaf) {
        m_deafTimer.stop();
        return;
    }
    for (int bytes = 0; bytes < kDeafBytesPerTick && m_line.queuedBytes() < kRubbishQueued;
         bytes += m_deafFrame.size()) {
        m_line.write(m_deafFrame);
        ++m_counters.deafRepeats;
    }
}

void StickSimulator::unplug(qint64 _forMs)
{
    if (!m_running)
        return;
    event(QString("fault: stick unplugged for %1 ms").arg(_forMs));
    m_connectTimer.stop();
    loseRequests();
    m_resetPollTimer.stop();
    m_nwkStatusTimer.stop();
    m_rubbishTimer.stop();
    m_state = eStickUnplugged;
    m_line.close();
    m_stickTimer.start(int(_forMs));
}

void StickSimulator::onStickTimer()
{
    if (!m_running)
        return;
    if (m_state == eStickUnplugged) {
        QString error;
        if (!m_line.openPty(error)) {
            event("cannot plug in again: " + error);
            stop();
            return;
        }
        event(QString("plugged in again on %1").arg(m_line.peerPath()));
    }
    if (m_state == eStickDeaf) {
        m_deafTimer.stop();
        ++m_counters.stickRestarts;
        event("no longer deaf: the stick restarts");
    }
    event(m_state == eStickLinkCut ? "link restored" : "stick is up again");
    m_line.setReading(true);
    m_line.setDiscarding(false);
    m_deframer.clear();
    enterConnecting();
}

// ---- summary ------------------------------------------------------------

QStringList StickSimulator::summary() const
{
    QStringList lines;
    const Counters& c = m_counters;
    lines << QString("summary after %1 s: connects %2 (connect requests %3), link losses %4, stick restarts %5")
                 .arg(elapsedMs() / 1000.0, 0, 'f', 3)
                 .arg(c.connects)
                 .arg(c.connectRequests)
                 .arg(c.linkLosses)
                 .arg(c.stickRestarts);
    lines << QString("frames sent %1, received %2; resends %3, ignored replies %4, unknown frames %5")
                 .arg(c.framesSent)
                 .arg(c.framesReceived)
                 .arg(c.resends)
                 .arg(c.ignoredReplies)
                 .arg(c.unknownFrames);
    lines << QString(
                 "faults: corrupted %1, duplicated %2, repeated seqs %3 (replies differing %4), dropped replies %5, "
                 "repeated while deaf %6")
                 .arg(c.corrupted)
                 .arg(c.duplicated)
                 .arg(c.repeatedSeqs)
                 .arg(c.repeatedRepliesDiffering)
                 .arg(c.droppedReplies)
                 .arg(c.deafRepeats);

    std::vector<const SimDevice*> clients{m_stickClient.get()};
    for (const auto& device : m_devices)
        clients.push_back(device.get());
    for (const SimDevice* client : clients)
        lines << client->summaryLine();
    return lines;
}
