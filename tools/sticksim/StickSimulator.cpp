#include "StickSimulator.h"

#include <algorithm>

#include "SimCommandChannel.h"
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

    SimCommandChannel::Hooks hooks;
    hooks.sendFrame = [this](const QByteArray& _body) { sendFrame(_body); };
    hooks.event = sink;
    hooks.chance = [this](double _share) { return chance(_share); };
    hooks.isOpen = [this] { return m_running && m_state == eStickConnected; };
    hooks.replied = [this](const SimCommandChannel::Request& _request, const QByteArray& _body) {
        handleReply(_request.command, _request.client, _body);
    };
    hooks.gaveUp = [this](const QString& _why) { leaveConnected(_why); };
    m_requests = std::make_unique<SimCommandChannel>(m_scenario, m_counters, std::move(hooks));

    const SimTiming& timing = m_scenario.timing;
    m_connectTimer.setInterval(timing.connectIntervalMs);
    connect(&m_connectTimer, &QTimer::timeout, this, &StickSimulator::sendConnectRequest);
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
    for (QTimer* timer : {&m_connectTimer, &m_resetPollTimer, &m_nwkStatusTimer, &m_discoveryTimer, &m_stickTimer,
                          &m_scheduleTimer, &m_stopTimer, &m_rubbishTimer, &m_deafTimer})
        timer->stop();
    m_requests->clear();
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
    m_requests->pause();
    m_state = eStickConnecting;
    m_connectRequestsInRow = 0;
    m_requests->forgetReportedStatus();
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
    m_requests->restartNumbering();
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
    for (SimDevice* client : m_requests->dropAll())
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
            m_requests->onReply(_body);
        else
            event(QString("reply %1 while not connected; ignored").arg(byteArrayToHex(_body, 3)));
        return;
    default:
        ++m_counters.unknownFrames;
        event(QString("unknown frame of %1 bytes: %2").arg(_body.size()).arg(byteArrayToHex(_body, 24)));
        return;
    }
}

void StickSimulator::handleReply(quint8 _command, SimDevice* _client, const QByteArray& _body)
{
    switch (_command) {
    case eCmdResetToFNReq:
        if (quint8(_body.at(2)) != 0) {
            event(QString("reset poll -> 0x%1: reset to factory new").arg(quint8(_body.at(2)), 2, 16, QChar('0')));
            startFactoryReset();
        }
        return;
    case eCmdNwkStatusReq:
        return;
    case eCmdZclIndication:
        if (_client) {
            const int imagesBefore = _client->images().size();
            _client->onResponse(u8At(_body, 3 + 19), _body.mid(3 + kReplyHeaderSize), now());
            afterClientResponse(*_client, imagesBefore);
        }
        return;
    default:
        return;
    }
}

// ---- requests -----------------------------------------------------------

void StickSimulator::enqueueStickRequest(quint8 _command)
{
    if (m_state != eStickConnected)
        return;
    // The stick's own polls are not stacked up behind a slow tool.
    if (m_requests->isPending(_command))
        return;
    SimCommandChannel::Request request;
    request.command = _command;
    if (_command == eCmdNwkStatusReq)
        request.payload = nwkStatusRecord(m_nwkState, m_channel, m_networkId, m_scenario.stick.client.shortAddress);
    m_requests->enqueue(request);
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
        SimCommandChannel::Request indication;
        indication.command = eCmdZclIndication;
        indication.client = client;
        indication.expectedResponse = client->expectedResponse();
        indication.payload =
            indicationHeader(client->shortAddress(), client->config().endpoint, request.zclCommand) + request.payload;
        m_requests->add(indication);
    }
    m_requests->pump();
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
    m_requests->pause();
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
    if (m_state == eStickConnected)
        m_requests->resume();
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
    body.append(char(m_requests->nextSeq()));
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
