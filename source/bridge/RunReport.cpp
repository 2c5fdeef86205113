#include "RunReport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QSaveFile>
#include <QTimer>

#include "HelpTexts.h"
#include "ReportWriter.h"
#include "common/DeviceType.h"
#include "common/RunState.h"
#include "common/log.h"
#include "common/settings.h"
#include "content/FirmwareUpdateFileModel.h"
#include "devices/ZigBeeDeviceModel.h"
#include "link/StickInterface.h"
#include "version.h"

namespace {
// The window's logo; only the application (and the window's tests) carry
// the pictures, elsewhere the report goes without it.
QImage logo()
{
    return QImage(":/pic/TarnLogo.png");
}

bool writeAtomically(const QString& _path, const QByteArray& _bytes)
{
    QSaveFile file(_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(_bytes) != _bytes.size() || !file.commit()) {
        LOG(lcBridge, QString("report: can not write '%1': %2").arg(_path, file.errorString()));
        return false;
    }
    return true;
}
} // namespace

RunReport::RunReport(const RunState& _runState, const FirmwareUpdateFileModel& _files,
                     const ZigBeeDeviceModel& _devices, const StickInterface& _stick, QObject* _parent)
    : QObject(_parent), m_files(_files), m_devices(_devices), m_stick(_stick)
{
    CONNECT_OR_LOG(lcBridge, &_runState, &RunState::changed, this,
                   [this](RunState::SysState_t _from, RunState::SysState_t _to) { sysStateChanged(_from, _to); });
    // The reports of earlier sessions can be opened as well.
    const QString dir = folder();
    if (dir.isEmpty())
        return;
    const QDir reports(dir);
    const QStringList pdfs = reports.entryList({"*.pdf"}, QDir::Files, QDir::Name);
    if (!pdfs.isEmpty())
        m_latestPdf = reports.filePath(pdfs.last());
    const QStringList csvs = reports.entryList({"*.csv"}, QDir::Files, QDir::Name);
    if (!csvs.isEmpty())
        m_latestCsv = reports.filePath(csvs.last());
}

QString RunReport::folder()
{
    if (!getSettings())
        return QString();
    return QFileInfo(getUpdatePath()).path() + "/reports";
}

bool RunReport::hasReport() const
{
    return !m_latestPdf.isEmpty() && QFile::exists(m_latestPdf);
}

QString RunReport::helpNotice() const
{
    return m_failure.isEmpty() ? QString() : HelpTexts::reportNotWritten(m_failure);
}

void RunReport::sysStateChanged(SystemServices::SysState_t _from, SystemServices::SysState_t _to)
{
    if (_from == _to)
        return;
    if (m_running) {
        if (m_content.kind == ReportContent::eKindStick && _from == SystemServices::SysStateStickUpdate) {
            // A cancelled stick update is back to idle; otherwise it has its result.
            const bool cancelled = m_stick.stickUpdateState() == StickImageUpdate::eStickUpdateStateIdle;
            endRun(cancelled ? ReportContent::eEndCancelled : ReportContent::eEndFinished);
        } else if (m_content.kind == ReportContent::eKindDevices && _from == SystemServices::SysStateDeviceUpdate) {
            // A run ends by itself only when nothing is left to update after
            // the search time; otherwise the user ended it.
            const bool done = m_devices.isMinTimeElapsed() && !m_devices.hasAny(ZigBeeDeviceModel::eCountTypeToUpdate);
            endRun(done ? ReportContent::eEndFinished : ReportContent::eEndCancelled);
        }
    }
    if (_to == SystemServices::SysStateDeviceUpdate)
        beginRun(ReportContent::eKindDevices);
    else if (_to == SystemServices::SysStateStickUpdate)
        beginRun(ReportContent::eKindStick);
}

void RunReport::toolClosing()
{
    // The window goes with the bridge: nothing is to be repainted any more.
    m_closing = true;
    if (m_running)
        endRun(ReportContent::eEndToolClosed);
    writePending();
}

void RunReport::beginRun(ReportContent::Kind_t _kind)
{
    m_running = true;
    m_content = ReportContent();
    m_content.kind = _kind;
    m_content.started = QDateTime::currentDateTimeUtc();
    m_content.toolVersion = LUMORAN_VERSION_TEXT;
    noteNetwork();
    if (_kind == ReportContent::eKindStick) {
        m_stickVersionBefore = m_stick.stickFirmware().m_version;
        m_stickTransferStart = QDateTime();
        m_stickTransferEnd = QDateTime();
        m_stickConnection = connect(&m_stick, &StickInterface::stickVersionAvailable, this, &RunReport::stickChanged);
    }
    LOG(lcBridge, QString("report: %1 begins").arg(_kind == ReportContent::eKindStick ? "stick update" : "device run"));
}

void RunReport::endRun(ReportContent::End_t _end)
{
    m_running = false;
    disconnect(m_stickConnection);
    m_content.end = _end;
    m_content.ended = QDateTime::currentDateTimeUtc();
    noteNetwork();
    m_content.stickVersion = m_stick.stickFirmware().versionString();
    if (m_content.kind == ReportContent::eKindStick)
        addStickRow();
    else
        addDeviceRows(m_content);
    LOG(lcBridge, QString("report: run ends (%1), %2 rows").arg(int(_end)).arg(m_content.rows.size()));
    // Written once the event that ended the run has been answered.
    m_pending.append(m_content);
    QTimer::singleShot(0, this, &RunReport::writePending);
}

void RunReport::noteNetwork()
{
    // The network as the stick last reported it while joined.
    if (m_stick.nwkState() != StickInterface::eNwkStateJoined)
        return;
    m_content.channel = m_stick.nwkChannel();
    m_content.stickAddr = m_stick.nwkShortAddr();
    QString id;
    for (quint8 byte : m_stick.nwkId())
        id += QString("%1").arg(byte, 2, 16, QChar('0'));
    m_content.networkId = id;
}

QString RunReport::writeInterim()
{
    if (!isDeviceRunUnderWay())
        return QString();
    noteNetwork();
    ReportContent content = m_content;
    content.end = ReportContent::eEndInterim;
    content.ended = QDateTime::currentDateTimeUtc();
    content.stickVersion = m_stick.stickFirmware().versionString();
    addDeviceRows(content);

    const QString dir = folder();
    if (dir.isEmpty() || !QDir().mkpath(dir)) {
        LOG(lcBridge, QString("report: can not create the folder '%1'").arg(dir));
        return QString();
    }
    m_interimBase = QDir(dir).filePath(ReportWriter::baseName(content) + "_interim");
    if (!writeFiles(content, m_interimBase) || !QFile::exists(m_interimBase + ".pdf"))
        return QString();
    LOG(lcBridge, QString("report: interim report written: '%1'").arg(m_interimBase));
    return m_interimBase + ".pdf";
}

void RunReport::removeInterim()
{
    if (m_interimBase.isEmpty())
        return;
    QFile::remove(m_interimBase + ".csv");
    QFile::remove(m_interimBase + ".pdf");
    m_interimBase.clear();
}

void RunReport::addDeviceRows(ReportContent& _content) const
{
    const bool interim = _content.end == ReportContent::eEndInterim;
    for (int i = 0; i < m_devices.rowCount(); ++i) {
        const ZigBeeDevice* device = m_devices.deviceAt(i);
        ReportContent::Row row;
        row.shortAddr = device->shortAddr;
        row.extAddr = device->extAddressText();
        row.devType = device->m_devType;
        row.versionBefore = device->m_run.versionBefore;
        row.versionAfter = device->m_version;
        if (const FirmwareUpdate* record = m_files.findByDevType(device->m_devType)) {
            row.versionOffered = record->m_version;
            row.fileOffered = QFileInfo(record->m_fileName).fileName();
        }
        row.attempts = device->m_run.attempts;
        row.start = device->m_run.firstOffer;
        row.end = device->m_run.lastResult;
        if (device->m_result == ProgressHelper::eResultSuccess) {
            row.outcome = ReportContent::eOutcomeUpdated;
        } else if (ProgressHelper::isFailure(device->m_result)) {
            row.outcome = ReportContent::eOutcomeFailed;
            row.failure = device->m_result;
        } else if (row.attempts > 0) {
            row.outcome = interim ? ReportContent::eOutcomeInProgress : ReportContent::eOutcomeInterrupted;
            row.end = interim ? QDateTime() : _content.ended;
        } else if (device->m_progress >= 0) {
            row.outcome = interim ? ReportContent::eOutcomeWaiting : ReportContent::eOutcomeNotReached;
            row.end = QDateTime();
        } else {
            row.outcome =
                row.versionOffered != kNoVersion ? ReportContent::eOutcomeCurrent : ReportContent::eOutcomeNoFirmware;
            row.end = QDateTime();
        }
        if (device->m_run.transferStart.isValid() && device->m_run.transferEnd.isValid())
            row.transferMs = device->m_run.transferStart.msecsTo(device->m_run.transferEnd);
        _content.rows.append(row);
    }
}

void RunReport::addStickRow()
{
    ReportContent::Row row;
    row.shortAddr = m_content.stickAddr;
    row.devType = DeviceType::UsbStick;
    row.versionBefore = m_stickVersionBefore;
    row.versionAfter = m_stick.stickFirmware().m_version;
    if (const FirmwareUpdate* record = m_files.findByDevType(DeviceType::UsbStick)) {
        row.versionOffered = record->m_version;
        row.fileOffered = QFileInfo(record->m_fileName).fileName();
    }
    row.attempts = 1;
    row.start = m_content.started;
    row.end = m_content.ended;
    switch (m_stick.stickUpdateState()) {
    case StickImageUpdate::eStickUpdateStateSuccess:
        row.outcome = ReportContent::eOutcomeUpdated;
        break;
    case StickImageUpdate::eStickUpdateStateFail:
        row.outcome = ReportContent::eOutcomeFailed;
        row.failure = ProgressHelper::eResultVerifFail;
        break;
    case StickImageUpdate::eStickUpdateStateUpToDate:
        row.outcome = ReportContent::eOutcomeCurrent;
        break;
    default:
        // Cancelled, or the tool closed, before the stick had its result.
        row.outcome =
            m_stickTransferStart.isValid() ? ReportContent::eOutcomeInterrupted : ReportContent::eOutcomeNotReached;
        break;
    }
    if (m_stickTransferStart.isValid() && m_stickTransferEnd.isValid())
        row.transferMs = m_stickTransferStart.msecsTo(m_stickTransferEnd);
    m_content.rows.append(row);
}

void RunReport::stickChanged()
{
    // The stick's progress and update state move with every block and at
    // its upgrade end.
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (!m_stickTransferStart.isValid() && m_stick.stickFirmware().m_progress > 0)
        m_stickTransferStart = now;
    if (!m_stickTransferEnd.isValid() && m_stick.stickUpdateState() == StickImageUpdate::eStickUpdateStateWait)
        m_stickTransferEnd = now;
}

void RunReport::writePending()
{
    while (!m_pending.isEmpty())
        write(m_pending.takeFirst());
}

bool RunReport::write(const ReportContent& _content)
{
    const QString dir = folder();
    if (dir.isEmpty() || !QDir().mkpath(dir)) {
        LOG(lcBridge, QString("report: can not create the folder '%1'").arg(dir));
        setFailure(dir.isEmpty() ? QString("reports") : QDir::toNativeSeparators(dir));
        return false;
    }
    // Two runs within one second keep a file each.
    const QString name = ReportWriter::baseName(_content);
    QString base = QDir(dir).filePath(name);
    for (int n = 2; QFile::exists(base + ".csv") || QFile::exists(base + ".pdf"); ++n)
        base = QDir(dir).filePath(QString("%1_%2").arg(name).arg(n));

    if (!writeFiles(_content, base))
        return false;
    m_latestCsv = base + ".csv";
    if (QFile::exists(base + ".pdf"))
        m_latestPdf = base + ".pdf";
    LOG(lcBridge, QString("report written: '%1'").arg(base));
    // The final report replaces the run's interim one.
    removeInterim();
    setFailure(QString());
    // The report button may now be used.
    if (!m_closing)
        emit reportChanged();
    return true;
}

bool RunReport::writeFiles(const ReportContent& _content, const QString& _base)
{
    if (!writeAtomically(_base + ".csv", ReportWriter::csv(_content))) {
        setFailure(QDir::toNativeSeparators(_base + ".csv"));
        return false;
    }
    // Fonts need a GUI application; a tool without a window writes the CSV only.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        LOG(lcBridge, "report: no PDF without a GUI application");
        return true;
    }
    const QByteArray pdf = ReportWriter::pdf(_content, logo());
    if (pdf.isEmpty() || !writeAtomically(_base + ".pdf", pdf)) {
        setFailure(QDir::toNativeSeparators(_base + ".pdf"));
        return false;
    }
    return true;
}

void RunReport::setFailure(const QString& _failure)
{
    if (_failure == m_failure)
        return;
    m_failure = _failure;
    if (!m_closing)
        emit noticeChanged();
}
