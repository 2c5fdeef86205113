// Runs a harness over stored inputs without libFuzzer: every file of the
// folders (or the files) named on the command line, in name order. A harness
// finding ends the process (sanitizer report or abort), so a zero exit means
// every input passed.

#include <cstdint>
#include <cstdio>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

extern "C" int LLVMFuzzerInitialize(int* _argc, char*** _argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* _data, size_t _size);

namespace {
QStringList inputFiles(const QString& _path)
{
    const QFileInfo info(_path);
    if (info.isFile())
        return {info.filePath()};
    QStringList files;
    const QFileInfoList entries = QDir(_path).entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : entries)
        files << entry.filePath();
    return files;
}
} // namespace

int main(int argc, char** argv)
{
    LLVMFuzzerInitialize(&argc, &argv);
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        for (const QString& path : inputFiles(QString::fromLocal8Bit(argv[i]))) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
                return 1;
            }
            const QByteArray bytes = file.readAll();
            std::fprintf(stderr, "replay %s (%d bytes)\n", qPrintable(path), int(bytes.size()));
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
            ++replayed;
        }
    }
    std::fprintf(stderr, "%d inputs replayed\n", replayed);
    // An empty or mistyped corpus folder must not pass unnoticed.
    return replayed > 0 ? 0 : 1;
}
