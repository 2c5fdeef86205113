// Turns the manual's HTML source into an A4 PDF at build time:
//   lumoran-manual <manual.html> <manual.pdf> --pictures <svg folder> [--set NAME=VALUE]...
// Every "@NAME@" in the source is replaced by VALUE first (the version, for
// example). The footer of each page carries the document's <title> and the
// page number.

#include <cstdio>

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPdfWriter>
#include <QSaveFile>

#include "ManualDocument.h"
#include "common/PagedPrinter.h"

namespace {

constexpr int kResolution = 300;

const char* const kStyleSheet =
    "body { font-family: 'DejaVu Sans', 'Arial', sans-serif; font-size: 10pt; color: #1e2630; }"
    "h1 { font-size: 17pt; color: #153f72; margin-top: 0px; margin-bottom: 8px; }"
    "h2 { font-size: 13pt; color: #1f5fa8; margin-top: 16px; margin-bottom: 6px; }"
    "h3 { font-size: 11pt; color: #153f72; margin-top: 10px; margin-bottom: 4px; }"
    "p { margin-top: 0px; margin-bottom: 7px; }"
    "li { margin-bottom: 3px; }"
    "th { background-color: #e3e7ec; text-align: left; }"
    "code { font-family: 'DejaVu Sans Mono', 'Courier New', monospace; }"
    ".label { font-weight: bold; color: #153f72; }"
    ".note { color: #4d5968; }";

int fail(const QString& _text)
{
    std::fprintf(stderr, "lumoran-manual: %s\n", qPrintable(_text));
    return 1;
}

} // namespace

// The command line: the manual's HTML, the PDF to write, the pictures' folder
// and the values put in for @NAME@.
struct Arguments
{
    QString source;
    QString target;
    QString pictureDir;
    QList<QPair<QString, QString>> values;
};

// Empty when the arguments make sense, else what is wrong.
QString parseArguments(QStringList _args, Arguments& _out)
{
    QStringList files;
    while (!_args.isEmpty()) {
        const QString arg = _args.takeFirst();
        if (arg == "--pictures" && !_args.isEmpty()) {
            _out.pictureDir = _args.takeFirst();
        } else if (arg == "--set" && !_args.isEmpty()) {
            const QString assignment = _args.takeFirst();
            const int equals = assignment.indexOf('=');
            if (equals <= 0)
                return QString("--set needs NAME=VALUE, not '%1'").arg(assignment);
            _out.values.append({assignment.left(equals), assignment.mid(equals + 1)});
        } else {
            files.append(arg);
        }
    }
    if (files.size() != 2 || _out.pictureDir.isEmpty())
        return "usage: <manual.html> <manual.pdf> --pictures <svg folder> [--set NAME=VALUE]...";
    _out.source = files[0];
    _out.target = files[1];
    return QString();
}

int main(int argc, char* argv[])
{
    // Fonts need a GUI application, but no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QStringList args = app.arguments();
    args.removeFirst();
    Arguments arguments;
    const QString wrong = parseArguments(args, arguments);
    if (!wrong.isEmpty())
        return fail(wrong);
    const QString& source = arguments.source;
    const QString& target = arguments.target;

    QFile sourceFile(source);
    if (!sourceFile.open(QIODevice::ReadOnly))
        return fail(QString("cannot read %1").arg(source));
    QString html = QString::fromUtf8(sourceFile.readAll());
    for (const auto& value : arguments.values)
        html.replace('@' + value.first + '@', value.second);

    ManualDocument document(QDir(arguments.pictureDir), QFileInfo(source).absoluteDir());
    document.setDefaultStyleSheet(kStyleSheet);
    QFont font("DejaVu Sans");
    font.setPointSizeF(10);
    document.setDefaultFont(font);
    const QStringList missing = document.setManualHtml(html);
    if (!missing.isEmpty())
        return fail(QString("%1: no picture for %2").arg(source, missing.join(", ")));
    const QString title = document.metaInformation(QTextDocument::DocumentTitle);

    // Written under a temporary name, so that a failed run leaves no PDF that
    // the build would take for up to date.
    QSaveFile output(target);
    if (!output.open(QIODevice::WriteOnly))
        return fail(QString("cannot write %1").arg(target));
    QPdfWriter writer(&output);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(20, 16, 20, 12), QPageLayout::Millimeter);
    writer.setResolution(kResolution);
    writer.setTitle(title);
    writer.setCreator("Vandrel Lumoran Tool");

    if (!PagedPrinter::print(document, writer, title, 10.0, 8.0) || !output.commit())
        return fail(QString("cannot write %1").arg(target));
    return 0;
}
