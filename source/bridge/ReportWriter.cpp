#include "ReportWriter.h"

#include <QBuffer>
#include <QMap>
#include <QPdfWriter>
#include <QStringList>
#include <QTextDocument>
#include <QUrl>

#include "common/DeviceType.h"
#include "common/PagedPrinter.h"
#include "version.h"

namespace {
constexpr int kResolution = 300;
const char* const kLogoName = "report-logo";

const char* const kStyleSheet = "body { font-family: 'DejaVu Sans', 'Arial', sans-serif; font-size: 8.5pt; "
                                "color: #1e2630; }"
                                "h1 { font-size: 15pt; color: #153f72; margin-top: 0px; margin-bottom: 2px; }"
                                "th { background-color: #e3e7ec; text-align: left; font-weight: bold; }"
                                ".label { font-weight: bold; color: #153f72; }"
                                ".note { color: #4d5968; }";

QString versionText(quint32 _version)
{
    return _version == kNoVersion ? QString() : versionPrefixed(formatVersion(_version));
}

// Time of day, with the date when it is not the run's.
QString shortTime(const QDateTime& _time, const QDate& _runDate)
{
    if (!_time.isValid())
        return QString();
    const QDateTime local = _time.toLocalTime();
    return local.toString(local.date() == _runDate ? "HH:mm:ss" : "yyyy-MM-dd HH:mm:ss");
}

// A cell of the device table: one line, so that a page holds about 25
// devices; only the result may wrap.
QString cell(const QString& _text, const char* _align = "left", bool _wrap = false)
{
    return QString("<td align=\"%1\" style=\"font-size: 7.5pt;%2\">%3</td>")
        .arg(_align, _wrap ? "" : " white-space: nowrap;", _text.toHtmlEscaped());
}

} // namespace

QString ReportWriter::csvField(const QString& _text)
{
    // A spreadsheet takes a field that begins like a formula for one and
    // evaluates it; a leading apostrophe makes it text there. A file name
    // from the update index may begin so.
    static const QString kFormulaStarts = QStringLiteral("=+-@\t\r");
    const QString text = !_text.isEmpty() && kFormulaStarts.contains(_text.at(0)) ? "'" + _text : _text;
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')) &&
        !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString ReportWriter::isoTime(const QDateTime& _time)
{
    if (!_time.isValid())
        return QString();
    // The offset always as +hh:mm, also where Qt would write "Z".
    const QDateTime local = _time.toLocalTime();
    const int offset = local.offsetFromUtc();
    return local.toString("yyyy-MM-ddTHH:mm:ss") + (offset < 0 ? '-' : '+') +
           QString("%1:%2").arg(qAbs(offset) / 3600, 2, 10, QChar('0')).arg(qAbs(offset) / 60 % 60, 2, 10, QChar('0'));
}

QString ReportWriter::baseName(const ReportContent& _content)
{
    return _content.started.toLocalTime().toString("yyyy-MM-dd_HH-mm-ss") +
           (_content.kind == ReportContent::eKindStick ? "_stick" : "_devices");
}

QString ReportWriter::title(const ReportContent& _content)
{
    return _content.kind == ReportContent::eKindStick ? tr("Stick update report") : tr("Device update report");
}

QByteArray ReportWriter::csv(const ReportContent& _content)
{
    const QStringList header{"Short address",
                             "Extended address",
                             "Device type",
                             "Device type text",
                             "Version before",
                             "Version after",
                             "Version offered",
                             "File offered",
                             "Result",
                             "Attempts",
                             "Start",
                             "End",
                             "Transfer duration (s)"};
    QStringList lines{header.join(',')};
    for (const ReportContent::Row& row : _content.rows) {
        const QStringList fields{
            QString("%1").arg(row.shortAddr, 4, 16, QChar('0')),
            row.extAddr,
            QString::number(row.devType),
            DeviceType::deviceTypeName(row.devType, false),
            formatVersion(row.versionBefore),
            formatVersion(row.versionAfter),
            formatVersion(row.versionOffered),
            row.fileOffered,
            ReportContent::outcomeText(row, false),
            QString::number(row.attempts),
            isoTime(row.start),
            isoTime(row.end),
            row.transferMs < 0 ? QString() : QString::number(row.transferMs / 1000.0, 'f', 1),
        };
        QStringList quoted;
        for (const QString& field : fields)
            quoted.append(csvField(field));
        lines.append(quoted.join(','));
    }
    return (lines.join("\r\n") + "\r\n").toUtf8();
}

QString ReportWriter::html(const ReportContent& _content, bool _withLogo)
{
    return "<html><body>" + htmlHeading(_content, _withLogo) + htmlSummary(_content) + htmlDeviceTable(_content) +
           "</body></html>";
}

QString ReportWriter::htmlHeading(const ReportContent& _content, bool _withLogo)
{
    QString html = "<table width=\"100%\" cellspacing=\"0\" cellpadding=\"0\"><tr><td valign=\"top\"><h1>" +
                   title(_content).toHtmlEscaped() + "</h1><span class=\"note\">" +
                   QStringLiteral(LUMORAN_APPLICATION_NAME " ") +
                   versionPrefixed(_content.toolVersion).toHtmlEscaped() + "</span></td>";
    if (_withLogo)
        html += QString("<td align=\"right\" valign=\"top\"><img src=\"%1\" width=\"150\" height=\"55\"></td>")
                    .arg(kLogoName);
    return html + "</tr></table><p></p>";
}

QString ReportWriter::htmlSummary(const ReportContent& _content)
{
    auto label = [](const QString& _text) {
        return "<td width=\"11%\" class=\"label\" style=\"white-space: nowrap;\">" + _text.toHtmlEscaped() + "</td>";
    };
    auto value = [](const QString& _text) { return "<td width=\"39%\">" + _text.toHtmlEscaped() + "</td>"; };
    const QDateTime started = _content.started.toLocalTime();
    const QString when = tr("%1 to %2 (%3)")
                             .arg(started.toString("yyyy-MM-dd HH:mm:ss"), shortTime(_content.ended, started.date()),
                                  _content.endText());
    const QString network = tr("channel %1, stick address %2, network ID %3")
                                .arg(_content.channel)
                                .arg(_content.stickAddr, 4, 16, QChar('0'))
                                .arg(_content.networkId);
    const QString devices = tr("%1 (%2)").arg(_content.rows.size()).arg(countsText(_content));

    QString html = "<table width=\"100%\" cellspacing=\"0\" cellpadding=\"2\">";
    html += "<tr>" + label(tr("Date:")) + value(when) + label(tr("Network:")) + value(network) + "</tr>";
    html += "<tr>" + label(tr("Stick firmware:")) + value(versionText(parseVersion(_content.stickVersion))) +
            label(tr("Devices:")) + value(devices) + "</tr>";
    html += "<tr>" + label(tr("Firmware offered:")) + "<td colspan=\"3\">" + offeredText(_content).toHtmlEscaped() +
            "</td></tr>";
    return html + "</table><p></p>";
}

// What was offered, one entry per device type, in the order of the types.
QString ReportWriter::offeredText(const ReportContent& _content)
{
    QMap<quint16, QString> offered;
    for (const ReportContent::Row& row : _content.rows) {
        if (row.versionOffered != kNoVersion)
            offered.insert(row.devType, tr("%1 %2 (%3)")
                                            .arg(DeviceType::deviceTypeName(row.devType),
                                                 versionText(row.versionOffered), row.fileOffered));
    }
    return offered.isEmpty() ? tr("none") : QStringList(offered.values()).join("; ");
}

QString ReportWriter::countsText(const ReportContent& _content)
{
    QStringList counts{tr("updated %1").arg(_content.count(ReportContent::eOutcomeUpdated)),
                       tr("already current %1").arg(_content.count(ReportContent::eOutcomeCurrent)),
                       tr("failed %1").arg(_content.count(ReportContent::eOutcomeFailed)),
                       tr("not reached %1").arg(_content.count(ReportContent::eOutcomeNotReached))};
    if (const int none = _content.count(ReportContent::eOutcomeNoFirmware))
        counts.append(tr("no firmware %1").arg(none));
    return counts.join(", ");
}

QString ReportWriter::htmlDeviceTable(const ReportContent& _content)
{
    // Not quite the full width: the right border would fall beyond the margin.
    QString html = "<table width=\"99%\" border=\"1\" cellspacing=\"0\" cellpadding=\"2\" "
                   "style=\"border-color: #aab2bd;\"><thead><tr>";
    // The offered versions are listed above, by device type.
    const QStringList headers{tr("Address"), tr("Extended address"), tr("Type"),  tr("Before"), tr("After"),
                              tr("Result"),  tr("Attempts"),         tr("Start"), tr("End"),    tr("Transfer")};
    for (const QString& header : headers)
        html += "<th style=\"font-size: 7.5pt; white-space: nowrap;\">" + header.toHtmlEscaped() + "</th>";
    html += "</tr></thead>";
    const QDate runDate = _content.started.toLocalTime().date();
    for (int i = 0; i < _content.rows.size(); ++i)
        html += htmlDeviceRow(_content.rows.at(i), i % 2 != 0, runDate);
    if (_content.rows.isEmpty())
        html += "<tr><td colspan=\"10\">" + tr("No devices found").toHtmlEscaped() + "</td></tr>";
    return html + "</table>";
}

QString ReportWriter::htmlDeviceRow(const ReportContent::Row& _row, bool _shaded, const QDate& _runDate)
{
    QString transfer;
    if (_row.transferMs >= 0) {
        const qint64 seconds = (_row.transferMs + 500) / 1000;
        transfer = seconds < 60 ? tr("%1 s").arg(seconds) : tr("%1 min %2 s").arg(seconds / 60).arg(seconds % 60);
    }
    return QString(_shaded ? "<tr bgcolor=\"#f6f6f6\">" : "<tr>") +
           cell(QString("%1").arg(_row.shortAddr, 4, 16, QChar('0'))) + cell(_row.extAddr) +
           cell(DeviceType::deviceTypeName(_row.devType)) + cell(formatVersion(_row.versionBefore)) +
           cell(formatVersion(_row.versionAfter)) + cell(ReportContent::outcomeText(_row, true), "left", true) +
           cell(QString::number(_row.attempts), "right") + cell(shortTime(_row.start, _runDate)) +
           cell(shortTime(_row.end, _runDate)) + cell(transfer, "right") + "</tr>";
}

QByteArray ReportWriter::pdf(const ReportContent& _content, const QImage& _logo)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageOrientation(QPageLayout::Landscape);
        writer.setPageMargins(QMarginsF(12, 10, 12, 8), QPageLayout::Millimeter);
        writer.setResolution(kResolution);
        writer.setTitle(title(_content));
        writer.setCreator(LUMORAN_APPLICATION_NAME);

        QTextDocument document;
        document.setDefaultStyleSheet(kStyleSheet);
        QFont font("DejaVu Sans");
        font.setPointSizeF(8.5);
        // Without ligatures: a reader that copies or searches the text gets "fi", not one glyph.
        font.setStyleStrategy(QFont::PreferNoShaping);
        document.setDefaultFont(font);
        if (!_logo.isNull())
            document.addResource(QTextDocument::ImageResource, QUrl(kLogoName), _logo);
        document.setHtml(html(_content, !_logo.isNull()));

        const QString footer = title(_content) + " – " + _content.started.toLocalTime().toString("yyyy-MM-dd HH:mm");
        if (!PagedPrinter::print(document, writer, footer, 7.0, 7.0))
            return QByteArray();
    }
    return buffer.data();
}
