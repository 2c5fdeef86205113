#include "SimDevice.h"

#include <QCryptographicHash>

#include "SimWire.h"
#include "common/DeviceType.h"

using namespace SimWire;

SimDevice::SimDevice(const SimClientConfig& _config, bool _isStick, EventSink _sink)
    : m_config(_config), m_isStick(_isStick), m_sink(std::move(_sink)), m_version(_config.version)
{
    m_versionHistory.append(m_version);
}

QString SimDevice::name() const
{
    return m_isStick ? QString("stick") : QString("dev %1").arg(hex16(m_config.shortAddress));
}

void SimDevice::event(const QString& _text) const
{
    if (m_sink)
        m_sink(name() + " " + _text);
}

quint8 SimDevice::expectedResponse() const
{
    switch (m_awaiting) {
    case eAwaitQuery:
        return eZclQueryNextImageResp;
    case eAwaitBlock:
        return eZclImageBlockResp;
    case eAwaitEnd:
        return eZclUpgradeEndResp;
    case eAwaitNone:
        break;
    }
    return 0;
}

QByteArray SimDevice::lastImageSha256() const
{
    if (m_images.isEmpty())
        return QByteArray();
    return QCryptographicHash::hash(m_images.last(), QCryptographicHash::Sha256).toHex();
}

bool SimDevice::isSettled() const
{
    if (m_state == eStateSilent)
        return true;
    return m_state == eStateIdle && m_awaiting == eAwaitNone && m_lastQueryStatus == eZclNoImageAvailable;
}

void SimDevice::begin(qint64 _nowMs, int _firstDelayMs)
{
    m_state = eStateIdle;
    m_awaiting = eAwaitNone;
    m_dueMs = _nowMs + (m_config.firstQueryMs >= 0 ? m_config.firstQueryMs : _firstDelayMs);
}

bool SimDevice::silentTimeReached(qint64 _nowMs) const
{
    return m_config.silentAfterMs >= 0 && _nowMs >= m_config.silentAfterMs;
}

qint64 SimDevice::dueMs() const
{
    if (m_state == eStateSilent)
        return -1;
    qint64 due = m_awaiting == eAwaitNone ? m_dueMs : -1;
    if (m_config.silentAfterMs >= 0 && (due < 0 || m_config.silentAfterMs < due))
        due = m_config.silentAfterMs;
    return due;
}

void SimDevice::queryNow(qint64 _nowMs)
{
    if (m_state == eStateIdle && m_awaiting == eAwaitNone)
        m_dueMs = _nowMs;
}

QByteArray SimDevice::header(int _imageType) const
{
    QByteArray out;
    putU16(out, m_config.manufacturer);
    putU16(out, _imageType >= 0 ? quint16(_imageType) : m_config.imageType);
    return out;
}

bool SimDevice::takeRequest(qint64 _nowMs, SimRequest& _out)
{
    if (m_state == eStateSilent)
        return false;
    if (silentTimeReached(_nowMs)) {
        goSilent(QString("after %1 ms").arg(m_config.silentAfterMs));
        return false;
    }
    if (m_awaiting != eAwaitNone || m_dueMs < 0 || _nowMs < m_dueMs)
        return false;

    if (m_state == eStateRestarting) {
        m_version = m_versionAfterRestart;
        m_versionHistory.append(m_version);
        m_state = eStateIdle;
        event(QString("up again with %1").arg(versionText(m_version)));
    }

    if (m_state == eStateIdle && !m_newVersionTaken && m_config.newVersionAtMs >= 0 &&
        _nowMs >= m_config.newVersionAtMs) {
        m_newVersionTaken = true;
        takeVersion(m_config.newVersion);
    }

    _out.payload.clear();
    if (m_state == eStateIdle) {
        _out.zclCommand = eZclQueryNextImageReq;
        _out.payload.append(char(0)); // field control: no hardware version
        _out.payload.append(header(m_config.queryImageType));
        putU32(_out.payload, m_version);
        m_awaiting = eAwaitQuery;
        ++m_stats.queries;
        return true;
    }

    // Transfer: the next block, or Upgrade End once everything is in.
    if (m_endStatus != eZclSuccess || quint32(m_image.size()) >= m_offeredSize) {
        _out.zclCommand = eZclUpgradeEndReq;
        _out.payload.append(char(m_endStatus));
        _out.payload.append(header(m_config.blockImageType));
        putU32(_out.payload, m_offeredVersion);
        m_awaiting = eAwaitEnd;
    } else {
        _out.zclCommand = eZclImageBlockReq;
        _out.payload.append(char(0)); // field control: no node address, no block delay
        _out.payload.append(header(m_config.blockImageType));
        putU32(_out.payload, m_offeredVersion);
        putU32(_out.payload, quint32(m_image.size()));
        _out.payload.append(char(m_config.maxDataSize));
        m_awaiting = eAwaitBlock;
    }
    return true;
}

void SimDevice::takeVersion(quint32 _version)
{
    m_version = _version;
    m_versionHistory.append(m_version);
    event(QString("runs %1 now, updated another way").arg(versionText(m_version)));
}

void SimDevice::onResponse(quint8 _zclCommand, const QByteArray& _payload, qint64 _nowMs)
{
    if (m_state == eStateSilent)
        return;
    if (silentTimeReached(_nowMs)) {
        goSilent(QString("after %1 ms").arg(m_config.silentAfterMs));
        return;
    }
    if (m_awaiting == eAwaitNone || _zclCommand != expectedResponse()) {
        event(QString("unexpected response 0x%1; ignored").arg(_zclCommand, 2, 16, QChar('0')));
        return;
    }
    const Awaiting_t answered = m_awaiting;
    m_awaiting = eAwaitNone;
    if (answered == eAwaitQuery)
        onQueryResponse(_payload, _nowMs);
    else if (answered == eAwaitBlock)
        onBlockResponse(_payload, _nowMs);
    else
        onEndResponse(_payload, _nowMs);
}

void SimDevice::onQueryResponse(const QByteArray& _payload, qint64 _nowMs)
{
    if (_payload.size() < kQueryNextImageRespSize) {
        badResponse(QString("query response of %1 bytes").arg(_payload.size()), _nowMs);
        return;
    }
    const quint8 status = u8At(_payload, 0);
    m_lastQueryStatus = status;
    const QString asked = QString("query %1 -> %2").arg(versionText(m_version), statusName(status));
    if (status != eZclSuccess) {
        event(status == eZclAbort ? asked + ", asks again later" : asked);
        goIdle(_nowMs);
        return;
    }

    const quint16 manufacturer = u16At(_payload, 1);
    const quint16 imageType = u16At(_payload, 3);
    if (manufacturer != m_config.manufacturer || imageType != m_config.imageType) {
        badResponse(QString("offer for manufacturer 0x%1 image type %2").arg(hex16(manufacturer)).arg(imageType),
                    _nowMs);
        return;
    }
    m_offeredVersion = u32At(_payload, 5);
    m_offeredSize = u32At(_payload, 9);
    m_image.clear();
    m_nextReportQuarter = 1;
    m_lostInRow = 0;
    m_state = eStateTransfer;
    m_dueMs = _nowMs;
    ++m_stats.transfersStarted;
    if (m_offeredSize == 0 || m_offeredSize > kMaxImageSize) {
        // A client cannot take such an image; it says so with Upgrade End.
        m_endStatus = eZclInvalidImage;
        event(QString("%1 offer %2 size %3 is unusable; ends with %4")
                  .arg(asked, versionText(m_offeredVersion))
                  .arg(m_offeredSize)
                  .arg(statusName(m_endStatus)));
        return;
    }
    m_endStatus = eZclSuccess;
    event(QString("%1 offer %2 size %3").arg(asked, versionText(m_offeredVersion)).arg(m_offeredSize));
}

void SimDevice::onBlockResponse(const QByteArray& _payload, qint64 _nowMs)
{
    if (_payload.size() < kImageBlockRespSize) {
        badResponse(QString("block response of %1 bytes").arg(_payload.size()), _nowMs);
        return;
    }
    const quint8 status = u8At(_payload, 0);
    const quint32 offset = quint32(m_image.size());
    if (status != eZclSuccess) {
        ++m_stats.aborts;
        event(QString("block at offset %1 -> %2; transfer ended").arg(offset).arg(statusName(status)));
        goIdle(_nowMs);
        return;
    }

    const int dataSize = u8At(_payload, 13);
    const QString wrong = blockFault(_payload, offset, dataSize);
    if (!wrong.isEmpty()) {
        badResponse(QString("block at offset %1 with %2").arg(offset).arg(wrong), _nowMs);
        return;
    }

    m_image.append(_payload.mid(kImageBlockRespSize, dataSize));
    m_lostInRow = 0;
    const quint32 received = quint32(m_image.size());
    while (m_nextReportQuarter < 4 && received * 4 >= m_offeredSize * quint32(m_nextReportQuarter)) {
        event(QString("transfer %1% (%2/%3)").arg(m_nextReportQuarter * 25).arg(received).arg(m_offeredSize));
        ++m_nextReportQuarter;
    }

    if (received < m_offeredSize) {
        if (m_config.silentAtOffset >= 0 && received >= quint64(m_config.silentAtOffset)) {
            goSilent(QString("at offset %1").arg(received));
            return;
        }
        if (m_config.restartAtOffset >= 0 && !m_restartAtOffsetDone && received >= quint64(m_config.restartAtOffset)) {
            m_restartAtOffsetDone = true;
            ++m_stats.interrupted;
            restart(m_version, QString("in mid-transfer at offset %1").arg(received), _nowMs);
            return;
        }
        m_dueMs = _nowMs + m_config.blockIntervalMs;
        return;
    }

    imageComplete(_nowMs);
}

QString SimDevice::blockFault(const QByteArray& _payload, quint32 _offset, int _dataSize) const
{
    QString wrong;
    if (u16At(_payload, 1) != m_config.manufacturer || u16At(_payload, 3) != m_config.imageType)
        wrong = "manufacturer or image type";
    else if (u32At(_payload, 5) != m_offeredVersion)
        wrong = QString("version %1").arg(versionText(u32At(_payload, 5)));
    else if (u32At(_payload, 9) != _offset)
        wrong = QString("offset %1").arg(u32At(_payload, 9));
    else if (_payload.size() != kImageBlockRespSize + _dataSize)
        wrong = QString("data size %1 in %2 bytes").arg(_dataSize).arg(_payload.size());
    else if (_dataSize == 0 || _dataSize > m_config.maxDataSize)
        wrong = QString("data size %1 (asked for at most %2)").arg(_dataSize).arg(m_config.maxDataSize);
    else if (_offset + quint32(_dataSize) > m_offeredSize)
        wrong = QString("%1 bytes past the image size %2").arg(_offset + _dataSize - m_offeredSize).arg(m_offeredSize);
    return wrong;
}

void SimDevice::imageComplete(qint64 _nowMs)
{
    const quint32 received = quint32(m_image.size());
    m_images.append(m_image);
    ++m_stats.transfersCompleted;
    event(QString("image complete: %1 bytes sha256 %2").arg(received).arg(QString::fromLatin1(lastImageSha256())));
    QString problem = imageProblem();
    if (problem.isEmpty() && m_config.endStatus != eZclSuccess)
        problem = "refuses every image";
    if (!problem.isEmpty()) {
        // A device does not start an image that is not its own; it says so
        // with Upgrade End and keeps running what it has.
        ++m_stats.refused;
        m_endStatus = m_config.endStatus != eZclSuccess ? quint8(m_config.endStatus) : quint8(eZclInvalidImage);
        event(QString("image refused: %1; ends with %2").arg(problem, statusName(m_endStatus)));
    }
    m_dueMs = _nowMs;
}

QString SimDevice::imageProblem() const
{
    // The fields a device reads from the ZCL OTA file header before it
    // takes an image: identifier, manufacturer code, image type, file version.
    constexpr int kFieldsEnd = 18;
    if (m_image.size() < kFieldsEnd)
        return QString("%1 bytes hold no OTA header").arg(m_image.size());
    if (u32At(m_image, 0) != kOtaFileIdentifier)
        return QString("file identifier 0x%1").arg(u32At(m_image, 0), 8, 16, QChar('0'));
    if (u16At(m_image, 10) != m_config.manufacturer)
        return QString("manufacturer 0x%1").arg(hex16(u16At(m_image, 10)));
    if (u16At(m_image, 12) != m_config.imageType)
        return QString("image type %1").arg(u16At(m_image, 12));
    if (u32At(m_image, 14) != m_offeredVersion)
        return QString("file version %1, offered %2")
            .arg(versionText(u32At(m_image, 14)), versionText(m_offeredVersion));
    return QString();
}

void SimDevice::onEndResponse(const QByteArray& _payload, qint64 _nowMs)
{
    if (_payload.size() < kUpgradeEndRespSize) {
        badResponse(QString("upgrade end response of %1 bytes").arg(_payload.size()), _nowMs);
        return;
    }
    if (m_endStatus != eZclSuccess) {
        ++m_stats.aborts;
        event(QString("upgrade end %1 acknowledged").arg(statusName(m_endStatus)));
        m_endStatus = eZclSuccess;
        goIdle(_nowMs);
        return;
    }
    if (u16At(_payload, 0) != m_config.manufacturer || u16At(_payload, 2) != m_config.imageType ||
        u32At(_payload, 4) != m_offeredVersion) {
        badResponse(QString("upgrade end response for manufacturer 0x%1 image type %2 %3")
                        .arg(hex16(u16At(_payload, 0)))
                        .arg(u16At(_payload, 2))
                        .arg(versionText(u32At(_payload, 4))),
                    _nowMs);
        return;
    }
    const quint32 upgradeTime = u32At(_payload, 12);
    const quint32 versionAfter = m_config.keepOldVersion ? m_version : m_offeredVersion;
    restart(versionAfter,
            QString("after upgrade end (upgrade time %1)%2")
                .arg(upgradeTime)
                .arg(m_config.keepOldVersion ? ", keeps its old version" : ""),
            _nowMs);
}

void SimDevice::badResponse(const QString& _why, qint64 _nowMs)
{
    ++m_stats.badResponses;
    event(QString("bad response: %1").arg(_why));
    onRequestLost(_nowMs);
}

void SimDevice::onRequestLost(qint64 _nowMs)
{
    m_awaiting = eAwaitNone;
    if (m_state == eStateIdle) {
        // A lost query is simply asked again at the next interval.
        m_dueMs = _nowMs + m_config.queryIntervalMs;
        return;
    }
    if (m_state != eStateTransfer)
        return;
    ++m_lostInRow;
    if (m_lostInRow > m_config.requestMaxRetries) {
        ++m_stats.givenUp;
        event(QString("gives the transfer up at offset %1 after %2 unanswered requests")
                  .arg(m_image.size())
                  .arg(m_lostInRow));
        goIdle(_nowMs);
        return;
    }
    ++m_stats.retries;
    m_dueMs = _nowMs + m_config.requestRetryMs;
    event(QString("request at offset %1 unanswered; again in %2 ms (%3/%4)")
              .arg(m_image.size())
              .arg(m_config.requestRetryMs)
              .arg(m_lostInRow)
              .arg(m_config.requestMaxRetries));
}

void SimDevice::goIdle(qint64 _nowMs)
{
    m_state = eStateIdle;
    m_awaiting = eAwaitNone;
    m_endStatus = eZclSuccess;
    m_image.clear();
    m_dueMs = _nowMs + m_config.queryIntervalMs;
}

void SimDevice::restart(quint32 _versionAfter, const QString& _why, qint64 _nowMs)
{
    ++m_stats.restarts;
    m_state = eStateRestarting;
    m_awaiting = eAwaitNone;
    m_image.clear();
    m_versionAfterRestart = _versionAfter;
    m_dueMs = _nowMs + m_config.restartDelayMs;
    event(QString("restarts %1; silent for %2 ms").arg(_why).arg(m_config.restartDelayMs));
}

void SimDevice::powerCycle(qint64 _nowMs, const QString& _why)
{
    if (m_state == eStateSilent)
        return;
    if (m_state == eStateTransfer)
        ++m_stats.interrupted;
    // A restart already under way keeps the version it will come back with.
    restart(m_state == eStateRestarting ? m_versionAfterRestart : m_version, _why, _nowMs);
}

void SimDevice::goSilent(const QString& _why)
{
    if (m_state == eStateTransfer)
        ++m_stats.interrupted;
    m_state = eStateSilent;
    m_awaiting = eAwaitNone;
    m_dueMs = -1;
    event(QString("falls silent for good %1").arg(_why));
}

QString SimDevice::summaryLine() const
{
    // Runs of the same version are told once with their count.
    QStringList path;
    const QList<quint32>& history = versionHistory();
    for (int i = 0; i < history.size();) {
        int run = 1;
        while (i + run < history.size() && history.at(i + run) == history.at(i))
            ++run;
        path << (run == 1 ? versionText(history.at(i)) : QString("%1 (x%2)").arg(versionText(history.at(i))).arg(run));
        i += run;
    }
    const Stats& s = m_stats;
    QString line = QString("%1 %2 type %3 (%4): %5 -> %6 via %7; transfers %8 started, %9 completed")
                       .arg(isStick() ? "stick" : "dev")
                       .arg(hex16(shortAddress()))
                       .arg(imageType())
                       .arg(DeviceType::deviceTypeName(imageType()))
                       .arg(versionText(startVersion()), versionText(version()))
                       .arg(path.join(" > "))
                       .arg(s.transfersStarted)
                       .arg(s.transfersCompleted);
    line += QString(", restarts %1, aborts %2, interrupted %3, retries %4, given up %5, bad responses %6")
                .arg(s.restarts)
                .arg(s.aborts)
                .arg(s.interrupted)
                .arg(s.retries)
                .arg(s.givenUp)
                .arg(s.badResponses);
    if (s.refused > 0)
        line += QString(", images refused %1").arg(s.refused);
    if (state() == eStateSilent)
        line += ", silent";
    if (!images().isEmpty())
        line += QString("; last image %1 bytes sha256 %2")
                    .arg(images().last().size())
                    .arg(QString::fromLatin1(lastImageSha256()));
    return line;
}
