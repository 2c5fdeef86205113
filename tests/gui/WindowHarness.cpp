#include "WindowHarness.h"

#include <functional>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QQmlApplicationEngine>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <QTcpSocket>
#include <QtTest>

#include "bridge/CProg2Gui.h"
#include "common/settings.h"
#include "link/CSerialPortHandler.h"
#include "link/FrameCodec.h"
#include "link/FrameDeframer.h"
#include "support/StickFrames.h"
#include "version.h"

namespace {
QStringList s_warnings;
QtMessageHandler s_previous = nullptr;

// Notes of Qt itself that say nothing about the window: the offscreen
// platform's for every widget dialog and tooltip it shows, and the animation
// timer's when a window and its animation driver go while the timer is idle
// (seen on slow runs, such as the sanitizer build).
bool isPlatformNote(const QString& _message)
{
    static const QStringList notes{
        "This plugin does not support propagateSizeHints()",
        "This plugin does not support raise()",
        "QUnifiedTimer::stopAnimationDriver: driver is not running",
    };
    return notes.contains(_message);
}

void warningHandler(QtMsgType _type, const QMessageLogContext& _context, const QString& _message)
{
    if (_type != QtDebugMsg && _type != QtInfoMsg && !isPlatformNote(_message))
        s_warnings.append(_message);
    if (s_previous)
        s_previous(_type, _context, _message);
}

// A Controls 1 button of any kind or a check box: a QML type derived from
// BasicButton or AbstractCheckable.
bool isButton(const QQuickItem* _item)
{
    for (const QMetaObject* meta = _item->metaObject(); meta; meta = meta->superClass()) {
        const QString name = meta->className();
        if (name.startsWith("BasicButton_QMLTYPE") || name.startsWith("AbstractCheckable_QMLTYPE"))
            return true;
    }
    return false;
}

void collectItems(QQuickItem* _item, const QString& _name, QList<QQuickItem*>& _found)
{
    if (!_item)
        return;
    if (_item->objectName() == _name)
        _found.append(_item);
    const QList<QQuickItem*> children = _item->childItems();
    for (QQuickItem* child : children)
        collectItems(child, _name, _found);
}
} // namespace

void WindowHarness::prepareProcess()
{
    QSettings::setDefaultFormat(QSettings::IniFormat);
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

void WindowHarness::registerTypes()
{
    qmlRegisterType<CProg2Gui>("cpp.qml.interface", 1, 0, "CppQmlIf");
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
    delete m_engine;
    qInstallMessageHandler(s_previous);
    s_previous = nullptr;
    CSerialPortHandler::setPortListFunction(nullptr);
    applDirPath = m_savedApplDirPath;
}

bool WindowHarness::load()
{
    s_warnings.clear();
    s_previous = qInstallMessageHandler(warningHandler);
    m_engine = new QQmlApplicationEngine;
    QObject::connect(m_engine, &QQmlEngine::warnings, [](const QList<QQmlError>& _errors) {
        for (const QQmlError& error : _errors)
            s_warnings.append(error.toString());
    });
    m_engine->load(QUrl("qrc:/Merovan.qml"));
    if (m_engine->rootObjects().isEmpty())
        return false;
    m_window = qobject_cast<QQuickWindow*>(m_engine->rootObjects().first());
    return m_window && QTest::qWaitForWindowExposed(m_window);
}

CProg2Gui* WindowHarness::bridge() const
{
    return qobject_cast<CProg2Gui*>(find("appIf"));
}

QStringList WindowHarness::warnings() const
{
    return s_warnings;
}

QObject* WindowHarness::find(const QString& _objectName) const
{
    if (!m_window)
        return nullptr;
    if (QObject* object = m_window->findChild<QObject*>(_objectName))
        return object;
    const QList<QQuickItem*> found = items(_objectName);
    return found.isEmpty() ? nullptr : found.first();
}

QQuickItem* WindowHarness::item(const QString& _objectName) const
{
    return qobject_cast<QQuickItem*>(find(_objectName));
}

QList<QQuickItem*> WindowHarness::items(const QString& _objectName) const
{
    QList<QQuickItem*> found;
    if (m_window)
        collectItems(m_window->contentItem(), _objectName, found);
    return found;
}

bool WindowHarness::click(QQuickItem* _item)
{
    if (!_item || !m_window || !_item->isVisible())
        return false;
    const QPointF centre = _item->mapToScene(QPointF(_item->width() / 2, _item->height() / 2));
    QTest::mouseClick(m_window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    return true;
}

QStringList WindowHarness::cutTexts() const
{
    QStringList cut;
    QList<QQuickItem*> candidates = items("headerText");
    std::function<void(QQuickItem*)> collectButtons = [&](QQuickItem* _item) {
        if (isButton(_item))
            candidates.append(_item);
        const QList<QQuickItem*> children = _item->childItems();
        for (QQuickItem* child : children)
            collectButtons(child);
    };
    if (m_window)
        collectButtons(m_window->contentItem());
    for (const QQuickItem* item : qAsConst(candidates)) {
        // Half a pixel for rounding; anything more is a cut letter.
        if (item->isVisible() && item->implicitWidth() > item->width() + 0.5)
            cut << QString("%1: needs %2, has %3")
                       .arg(item->property("text").toString())
                       .arg(item->implicitWidth())
                       .arg(item->width());
    }
    return cut;
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
