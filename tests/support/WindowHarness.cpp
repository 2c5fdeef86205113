#include "WindowHarness.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QTcpSocket>

#include "app/WindowEnvironment.h"
#include "common/settings.h"
#include "link/CSerialPortHandler.h"
#include "link/FrameCodec.h"
#include "link/FrameDeframer.h"
#include "support/StickFrames.h"
#include "version.h"

void WindowHarness::prepareProcess()
{
    QSettings::setDefaultFormat(QSettings::IniFormat);
    WindowEnvironment::prepareProcess();
    // Kept for the whole process: Qt resolves the settings folders once.
    static QTemporaryDir s_home;
    qputenv("XDG_CONFIG_HOME", s_home.filePath("config").toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        QDir().mkpath(s_home.filePath("runtime"));
        QFile::setPermissions(s_home.filePath("runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", s_home.filePath("runtime").toLocal8Bit());
    }
    QCoreApplication::setOrganizationName(LUMORAN_ORGANISATION_NAME);
    QCoreApplication::setOrganizationDomain(LUMORAN_ORGANISATION_DOMAIN);
    QCoreApplication::setApplicationName(LUMORAN_APPLICATION_NAME);
}

WindowHarness::WindowHarness(const Options& _options) : m_options(_options)
{
    m_savedApplDirPath = applDirPath;
    applDirPath = applDir.path();
    if (m_options.translations) {
        QDir().mkpath(applDir.filePath("translation"));
        const QStringList qmFiles = QDir(LUMORAN_QM_DIR).entryList({"*.qm"}, QDir::Files);
        for (const QString& name : qmFiles)
            QFile::copy(QDir(LUMORAN_QM_DIR).filePath(name), applDir.filePath("translation/" + name));
    }
    if (!m_options.savedLanguage.isNull())
        settings.settings()->setValue("applSettings/lang", m_options.savedLanguage);

    // The update server: a port of our own that hangs up on every request.
    m_server.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            socket->close();
            socket->deleteLater();
        }
    });
    settings.settings()->setValue("update/UpdateUrl", QString("http://127.0.0.1:%1/").arg(m_server.serverPort()));

    CSerialPortHandler::setPortListFunction([] { return QStringList(); });
    if (m_options.stick) {
        pty = std::make_unique<PseudoTerminal>();
        settings.settings()->setValue("serial/ports", QStringList{pty->slavePath()});
    }
}

WindowHarness::~WindowHarness()
{
    // The bridge goes while its settings, folder and ports are still in place.
    unload();
    CSerialPortHandler::setPortListFunction(nullptr);
    applDirPath = m_savedApplDirPath;
}

QByteArray WindowHarness::readFrame(int _timeoutMs)
{
    FrameDeframer deframer;
    QByteArray body;
    QElapsedTimer timer;
    timer.start();
    while (body.isNull() && timer.elapsed() < _timeoutMs)
        deframer.feed(pty->read(20), [&body](const QByteArray& _body) { body = _body; });
    return body;
}

QByteArray WindowHarness::sendToStick(const QByteArray& _body)
{
    if (!pty || !pty->write(FrameCodec::encode(_body)))
        return QByteArray();
    return readFrame(3000);
}

bool WindowHarness::connectStick()
{
    return sendToStick(StickFrames::connectRequest()) == QByteArray::fromHex("02");
}

bool WindowHarness::joinNetwork(quint8 _seq)
{
    const QByteArray reply = sendToStick(StickFrames::networkStatus(_seq, 3, 11, 0x1122334455667788ull, 0x1a2b));
    return reply.startsWith(QByteArray::fromHex("04") + char(_seq));
}
