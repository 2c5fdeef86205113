#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

#include "ReportContent.h"
#include "common/SystemServices.h"

class FirmwareUpdateFileModel;
class RunState;
class StickInterface;
class ZigBeeDeviceModel;

// The report of every device update run and every stick update: it follows
// the run state's changes, notes when a run begins and,
// when the run ends (by itself, by Cancel or because the tool closes), what
// became of every device. Each report is written as a CSV and a PDF file
// into the folder "reports" beside "update" and "temp", atomically; a
// failure is logged and shown in the help box and never stops anything.
class RunReport : public QObject
{
    Q_OBJECT
public:
    // Follows _runState; reads the stick, the device list and the file list.
    RunReport(const RunState& _runState, const FirmwareUpdateFileModel& _files, const ZigBeeDeviceModel& _devices,
              const StickInterface& _stick, QObject* _parent = nullptr);

    // The tool closes: a run under way ends now, and every report is written
    // before the workers go.
    void toolClosing();

    // The folder of the reports; empty without settings.
    static QString folder();
    // The PDF of the latest report, written in this session or found at start.
    QString latestPdf() const { return m_latestPdf; }
    QString latestCsv() const { return m_latestCsv; }
    bool hasReport() const;
    // A device update run is under way: its interim report can be written.
    bool isDeviceRunUnderWay() const { return m_running && m_content.kind == ReportContent::eKindDevices; }
    // Writes the report of the device run so far (CSV and PDF, replacing the
    // run's earlier interim report) and returns the PDF's path; empty when no
    // device run is under way or the report could not be written. The run's
    // final report replaces the interim one.
    QString writeInterim();
    // The help box's notice about the latest write that failed; empty when
    // the latest report was written.
    QString helpNotice() const;

signals:
    // A report was written: the report button may be used.
    void reportChanged();
    // The help box's notice changed.
    void noticeChanged();

private:
    // The system state went from _from to _to: a run begins or ends.
    void sysStateChanged(SystemServices::SysState_t _from, SystemServices::SysState_t _to);
    void beginRun(ReportContent::Kind_t _kind);
    void endRun(ReportContent::End_t _end);
    void noteNetwork();
    void addDeviceRows(ReportContent& _content) const;
    void addStickRow();
    void stickChanged();
    void writePending();
    bool write(const ReportContent& _content);
    // Writes both files under _base (without extension); false on a failure.
    bool writeFiles(const ReportContent& _content, const QString& _base);
    void removeInterim();
    void setFailure(const QString& _failure);

    const FirmwareUpdateFileModel& m_files;
    const ZigBeeDeviceModel& m_devices;
    const StickInterface& m_stick;
    bool m_running = false;
    bool m_closing = false;
    ReportContent m_content;
    quint32 m_stickVersionBefore = 0;
    QDateTime m_stickTransferStart;
    QDateTime m_stickTransferEnd;
    QMetaObject::Connection m_stickConnection;
    QList<ReportContent> m_pending;
    QString m_latestPdf;
    QString m_latestCsv;
    QString m_failure;     // the folder or file that could not be written
    QString m_interimBase; // the run's interim report, without extension
};
