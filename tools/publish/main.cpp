// lumoran-publish: signs update content, checks signatures as the tool does,
// writes the signed update index and builds OTA upgrade images.

#include <cstdio>
#include <limits>

#include <QCoreApplication>
#include <QFile>
#include <QMap>
#include <QStringList>

#include "Publisher.h"
#include "botan/BotanWrapper.h"
#include "common/common.h"

namespace {
const char* const kUsage = "usage:\n"
                           "  lumoran-publish sign --key KEY FILE...\n"
                           "      writes FILE's signature next to it (same base name, extension sig)\n"
                           "  lumoran-publish verify --pubkey PUB FILE\n"
                           "      checks FILE against its signature file; exit code 0 only when it holds\n"
                           "  lumoran-publish index --key KEY --out DIR [--serial N] MANIFEST\n"
                           "      writes DIR/update.xml from MANIFEST and signs it; MANIFEST lines are\n"
                           "      devType;application;version;fileName[;sys]  ('#' starts a comment);\n"
                           "      each file is read from DIR (by its plain name, as the tool fetches it)\n"
                           "      for its size and SHA-256; the serial is N, or that of the index already\n"
                           "      in DIR plus one (1 for the first), and must grow\n"
                           "  lumoran-publish image --type T --version X.Y.Z --size N --out FILE [--string TEXT]\n"
                           "      writes a ZigBee OTA upgrade image with N payload bytes\n";

enum ExitCode_t
{
    ExitOk = 0,
    ExitFailed = 1,
    ExitUsage = 2
};

int usage(const QString& _problem = QString())
{
    if (!_problem.isEmpty())
        std::fprintf(stderr, "lumoran-publish: %s\n", qPrintable(_problem));
    std::fputs(kUsage, stderr);
    return ExitUsage;
}

int fail(const QString& _problem)
{
    std::fprintf(stderr, "lumoran-publish: %s\n", qPrintable(_problem));
    return ExitFailed;
}

// Splits "--name value" options from the positional arguments.
bool parseOptions(const QStringList& _args, const QStringList& _names, QMap<QString, QString>* _options,
                  QStringList* _positional, QString* _problem)
{
    for (int i = 0; i < _args.size(); ++i) {
        const QString& arg = _args.at(i);
        if (!arg.startsWith("--")) {
            _positional->append(arg);
            continue;
        }
        const QString name = arg.mid(2);
        if (!_names.contains(name)) {
            *_problem = QString("unknown option '%1'").arg(arg);
            return false;
        }
        if (i + 1 >= _args.size()) {
            *_problem = QString("option '%1' needs a value").arg(arg);
            return false;
        }
        _options->insert(name, _args.at(++i));
    }
    return true;
}

int signCommand(const QStringList& _args)
{
    QMap<QString, QString> options;
    QStringList files;
    QString problem;
    if (!parseOptions(_args, {"key"}, &options, &files, &problem))
        return usage(problem);
    if (!options.contains("key") || files.isEmpty())
        return usage("sign needs --key and at least one file");
    Publisher publisher;
    if (!publisher.loadPrivateKey(options.value("key"), &problem))
        return fail(problem);
    for (const QString& file : files) {
        if (!publisher.signFile(file, &problem))
            return fail(problem);
        std::printf("signed %s -> %s\n", qPrintable(file), qPrintable(Publisher::signatureFileName(file)));
    }
    return ExitOk;
}

int verifyCommand(const QStringList& _args)
{
    QMap<QString, QString> options;
    QStringList files;
    QString problem;
    if (!parseOptions(_args, {"pubkey"}, &options, &files, &problem))
        return usage(problem);
    if (!options.contains("pubkey") || files.size() != 1)
        return usage("verify needs --pubkey and one file");
    QFile keyFile(options.value("pubkey"));
    if (!keyFile.open(QIODevice::ReadOnly))
        return fail(QString("cannot read public key '%1'").arg(keyFile.fileName()));
    const QByteArray key = keyFile.readAll();
    BotanWrapper wrapper;
    if (!wrapper.loadPublicKey(key.constData(), key.size()))
        return fail(QString("cannot load public key '%1'").arg(keyFile.fileName()));
    const QString file = files.first();
    const QString sigFile = Publisher::signatureFileName(file);
    if (!wrapper.verifySigFile(file, sigFile)) {
        std::printf("signature does NOT hold: %s\n", qPrintable(file));
        return ExitFailed;
    }
    std::printf("signature holds: %s\n", qPrintable(file));
    return ExitOk;
}

int indexCommand(const QStringList& _args)
{
    QMap<QString, QString> options;
    QStringList manifests;
    QString problem;
    if (!parseOptions(_args, {"key", "out", "serial"}, &options, &manifests, &problem))
        return usage(problem);
    if (!options.contains("key") || !options.contains("out") || manifests.size() != 1)
        return usage("index needs --key, --out and one manifest");
    quint64 requested = Publisher::kNoSerial;
    if (options.contains("serial")) {
        bool ok = false;
        requested = options.value("serial").toULongLong(&ok, 10);
        if (!ok || requested == Publisher::kNoSerial)
            return usage("--serial must be a number above 0");
    }
    const QString outDir = options.value("out");
    QFile manifest(manifests.first());
    if (!manifest.open(QIODevice::ReadOnly))
        return fail(QString("cannot read manifest '%1'").arg(manifest.fileName()));
    QList<Publisher::IndexEntry> entries;
    if (!Publisher::parseManifest(manifest.readAll(), &entries, &problem))
        return fail(QString("%1: %2").arg(manifest.fileName(), problem));
    if (!Publisher::bindFiles(&entries, outDir, &problem))
        return fail(problem);
    // Tools remember the highest serial they took and refuse a lower one, so
    // a new publication must carry a higher serial than the one it replaces.
    quint64 published = Publisher::kNoSerial;
    if (!Publisher::publishedSerial(outDir, &published, &problem))
        return fail(problem);
    if (requested == Publisher::kNoSerial && published == std::numeric_limits<quint64>::max())
        return fail(QString("the index in '%1' carries the highest serial there is").arg(outDir));
    const quint64 serial = requested != Publisher::kNoSerial ? requested : published + 1;
    if (serial <= published)
        return fail(QString("serial %1 is not above %2, the serial of the index in '%3'")
                        .arg(serial)
                        .arg(published)
                        .arg(outDir));
    Publisher publisher;
    if (!publisher.loadPrivateKey(options.value("key"), &problem) ||
        !publisher.writeIndex(entries, outDir, &problem, serial))
        return fail(problem);
    std::printf("wrote %s/update.xml with %d updates, serial %llu, signed\n", qPrintable(outDir), int(entries.size()),
                static_cast<unsigned long long>(serial));
    return ExitOk;
}

int imageCommand(const QStringList& _args)
{
    QMap<QString, QString> options;
    QStringList rest;
    QString problem;
    if (!parseOptions(_args, {"type", "version", "size", "out", "string"}, &options, &rest, &problem))
        return usage(problem);
    if (!rest.isEmpty() || !options.contains("type") || !options.contains("version") || !options.contains("size") ||
        !options.contains("out"))
        return usage("image needs --type, --version, --size and --out");
    bool ok = false;
    const uint type = options.value("type").toUInt(&ok, 0);
    if (!ok || type > 0xFFFF)
        return usage("--type must be a number 0..65535");
    const QStringList parts = options.value("version").split('.');
    bool versionOk = parts.size() == 3;
    for (const QString& part : parts) {
        bool partOk = false;
        versionOk = versionOk && part.toUInt(&partOk) <= 255 && partOk;
    }
    if (!versionOk)
        return usage("--version must be X.Y.Z with each part 0..255");
    const int size = options.value("size").toInt(&ok);
    if (!ok || size < 0)
        return usage("--size must be a byte count");
    const QByteArray headerString =
        options.contains("string") ? options.value("string").toUtf8() : QByteArray("Lumoran test image");
    const QByteArray image =
        Publisher::otaImage(static_cast<quint16>(type), parseVersion(options.value("version")), size, headerString);
    QFile out(options.value("out"));
    if (!out.open(QIODevice::WriteOnly) || out.write(image) != image.size())
        return fail(QString("cannot write '%1'").arg(out.fileName()));
    std::printf("wrote %s: image type %u, version %s, %d bytes\n", qPrintable(out.fileName()), type,
                qPrintable(options.value("version")), int(image.size()));
    return ExitOk;
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage();
    const QString command = args.takeFirst();
    if (command == "sign")
        return signCommand(args);
    if (command == "verify")
        return verifyCommand(args);
    if (command == "index")
        return indexCommand(args);
    if (command == "image")
        return imageCommand(args);
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return ExitOk;
    }
    return usage(QString("unknown command '%1'").arg(command));
}
