#include "FuzzEnvironment.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QSettings>
#include <QTemporaryDir>

#include "common/settings.h"

namespace {
int s_argc = 1;
char s_programName[] = "lumoran-fuzz";
char* s_argv[] = {s_programName, nullptr};
QCoreApplication* s_application = nullptr;
QTemporaryDir* s_scratch = nullptr;
bool s_showLog = false;

void dropMessage(QtMsgType _type, const QMessageLogContext& _context, const QString& _message)
{
    if (s_showLog)
        std::fprintf(stderr, "%s: %s\n", _context.function ? _context.function : "", qPrintable(_message));
    if (_type == QtFatalMsg) {
        std::fprintf(stderr, "fatal: %s\n", qPrintable(_message));
        std::abort();
    }
}

void removeScratch()
{
    delete s_scratch;
    s_scratch = nullptr;
}
} // namespace

void FuzzEnvironment::init(int*, char***)
{
    if (s_application)
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // libFuzzer's own arguments are none of Qt's business.
    s_application = new QCoreApplication(s_argc, s_argv);
    QCoreApplication::setOrganizationName("Vandrel");
    QCoreApplication::setApplicationName("Vandrel Lumoran Tool");
    // LUMORAN_FUZZ_LOG=1 shows the log, for looking into a finding.
    s_showLog = qEnvironmentVariableIntValue("LUMORAN_FUZZ_LOG") == 1;
    // Otherwise the tool's own lines are not even formatted.
    if (!s_showLog)
        QLoggingCategory::setFilterRules("lumoran.*=false");
    qInstallMessageHandler(dropMessage);
    s_scratch = new QTemporaryDir(QDir::tempPath() + "/lumoran-fuzz-XXXXXX");
    if (!s_scratch->isValid())
        fail("no scratch folder");
    std::atexit(removeScratch);
}

void FuzzEnvironment::silenceStdout()
{
    if (!std::freopen("/dev/null", "w", stdout))
        fail("cannot silence standard output");
}

QString FuzzEnvironment::scratchDir()
{
    return s_scratch ? s_scratch->path() : QString();
}

std::unique_ptr<QSettings> FuzzEnvironment::installSettings(const QString& _folder)
{
    auto settings = std::make_unique<QSettings>(_folder + "/Vandrel/Vandrel Lumoran Tool.ini", QSettings::IniFormat);
    settings->setValue("update/UpdateUrl", "http://[no-server");
    setSettings(settings.get());
    return settings;
}

void FuzzEnvironment::processEvents()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

bool FuzzEnvironment::writeFile(const QString& _path, const QByteArray& _bytes)
{
    QFile file(_path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(_bytes) == _bytes.size();
}

void FuzzEnvironment::fail(const char* _what)
{
    std::fprintf(stderr, "%s\n", _what);
    std::fflush(stderr);
    std::abort();
}

FuzzInput::FuzzInput(const uint8_t* _data, std::size_t _size) : m_data(_data), m_size(_size)
{}

quint8 FuzzInput::byte()
{
    return m_pos < m_size ? m_data[m_pos++] : 0;
}

quint16 FuzzInput::u16()
{
    const quint16 low = byte();
    return quint16(low | (quint16(byte()) << 8));
}

QByteArray FuzzInput::bytes(int _size)
{
    const std::size_t available = m_size - std::min(m_pos, m_size);
    const std::size_t count = std::min<std::size_t>(std::size_t(std::max(_size, 0)), available);
    QByteArray result(reinterpret_cast<const char*>(m_data + m_pos), int(count));
    m_pos += count;
    return result;
}

QByteArray FuzzInput::rest()
{
    return bytes(int(std::min<std::size_t>(m_size - std::min(m_pos, m_size), std::size_t(INT32_MAX))));
}
