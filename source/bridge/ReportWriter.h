#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDateTime>
#include <QImage>
#include <QString>

#include "ReportContent.h"

// The two files of a run report, made from its content as bytes; writing
// them is left to the caller.
// - CSV for other programs: UTF-8, comma-separated, one header line, fields
//   quoted as RFC 4180 says, lines ended by CR LF, texts in English.
// - PDF to print and hand over: A4 landscape in the current language, with
//   the logo, the run, the network and the counts above the same table; one
//   page holds about 25 devices.
class ReportWriter
{
    Q_DECLARE_TR_FUNCTIONS(RunReport)

public:
    static QByteArray csv(const ReportContent& _content);
    // Needs a QGuiApplication (fonts); _logo may be null.
    static QByteArray pdf(const ReportContent& _content, const QImage& _logo);
    // What pdf() prints, as rich text; the logo is the image resource "report-logo".
    static QString html(const ReportContent& _content, bool _withLogo);

    // One CSV field: in double quotes, its quotes doubled, when it holds a
    // comma, a double quote or a line break; otherwise as it stands. A field
    // that begins with '=', '+', '-', '@', a tab or a carriage return gets a
    // leading apostrophe, so that a spreadsheet shows it as text.
    static QString csvField(const QString& _text);
    // ISO 8601 in local time with its offset ("2026-03-01T10:15:30+01:00");
    // empty for a null time.
    static QString isoTime(const QDateTime& _time);
    // The files' name without extension: the run's local start time and
    // its kind ("2026-03-01_10-15-30_devices").
    static QString baseName(const ReportContent& _content);
    static QString title(const ReportContent& _content);

private:
    // The parts of html(), top to bottom.
    static QString htmlHeading(const ReportContent& _content, bool _withLogo);
    static QString htmlSummary(const ReportContent& _content);
    static QString offeredText(const ReportContent& _content);
    static QString countsText(const ReportContent& _content);
    static QString htmlDeviceTable(const ReportContent& _content);
    static QString htmlDeviceRow(const ReportContent::Row& _row, bool _shaded, const QDate& _runDate);
};
