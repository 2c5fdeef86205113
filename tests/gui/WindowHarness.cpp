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

#include "app/WindowEnvironment.h"
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

void WindowHarness::registerTypes()
{
    WindowEnvironment::prepareApplication();
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

namespace {
QString describe(const QQuickItem* _item)
{
    const QString text = _item->property("text").toString();
    return QString("%1 \"%2\"%3")
        .arg(_item->metaObject()->className(), _item->objectName(),
             text.isEmpty() ? QString() : QString(" (%1)").arg(text.left(60)));
}

// The item's rectangle in _ancestor's coordinates.
QRectF rectIn(const QQuickItem* _item, const QQuickItem* _ancestor)
{
    return _item->mapRectToItem(_ancestor, QRectF(0, 0, _item->width(), _item->height()));
}

// Half a pixel for rounding.
bool reachesOut(const QRectF& _inner, const QRectF& _outer)
{
    return _inner.left() < _outer.left() - 0.5 || _inner.top() < _outer.top() - 0.5 ||
           _inner.right() > _outer.right() + 0.5 || _inner.bottom() > _outer.bottom() + 0.5;
}

// The flickable an item scrolls in, if any: its rows and help text may lie
// beyond the view, but not beside it.
const QQuickItem* scrollingAncestor(const QQuickItem* _item)
{
    for (const QQuickItem* ancestor = _item->parentItem(); ancestor; ancestor = ancestor->parentItem()) {
        if (ancestor->inherits("QQuickFlickable"))
            return ancestor;
    }
    return nullptr;
}

void checkItem(const QQuickItem* _item, const QQuickItem* _namedAncestor, QStringList& _problems)
{
    if (!_item->isVisible() || _item->opacity() <= 0)
        return;
    const QQuickItem* scroller = scrollingAncestor(_item);
    auto outside = [&](const QQuickItem* _holder) {
        const QRectF inner = rectIn(_item, _holder);
        const QRectF outer(0, 0, _holder->width(), _holder->height());
        if (!scroller)
            return reachesOut(inner, outer);
        return inner.left() < outer.left() - 0.5 || inner.right() > outer.right() + 0.5;
    };
    const bool sized = _item->width() > 0 && _item->height() > 0;

    if (_item->inherits("QQuickText") && !_item->property("text").toString().isEmpty() && sized) {
        if (_item->property("truncated").toBool())
            _problems << "cut: " + describe(_item);
        else if (_item->property("wrapMode").toInt() == 0 && _item->implicitWidth() > _item->width() + 0.5)
            _problems << QString("too narrow (needs %1, has %2): %3")
                             .arg(_item->implicitWidth())
                             .arg(_item->width())
                             .arg(describe(_item));
        const QQuickItem* holder = _item->parentItem();
        if (holder && holder->width() > 0 && outside(scroller ? scroller : holder))
            _problems << "out of its item: " + describe(_item);
    }
    if (!_item->objectName().isEmpty() && sized && _namedAncestor && outside(scroller ? scroller : _namedAncestor))
        _problems << QString("out of %1: %2").arg(_namedAncestor->objectName(), describe(_item));

    if (_item->inherits("QQuickLayout")) {
        QList<QPair<QRectF, const QQuickItem*>> placed;
        const QList<QQuickItem*> children = _item->childItems();
        for (const QQuickItem* child : children) {
            if (child->isVisible() && child->width() > 0 && child->height() > 0)
                placed.append({QRectF(child->x(), child->y(), child->width(), child->height()), child});
        }
        for (int i = 0; i < placed.size(); ++i) {
            for (int j = i + 1; j < placed.size(); ++j) {
                const QRectF common = placed.at(i).first.intersected(placed.at(j).first);
                if (common.width() > 0.5 && common.height() > 0.5)
                    _problems << QString("overlap: %1 and %2")
                                     .arg(describe(placed.at(i).second), describe(placed.at(j).second));
            }
        }
    }

    const QQuickItem* named = _item->objectName().isEmpty() ? _namedAncestor : _item;
    const QList<QQuickItem*> children = _item->childItems();
    for (const QQuickItem* child : children)
        checkItem(child, named, _problems);
}
} // namespace

QStringList WindowHarness::layoutProblems() const
{
    QStringList problems = cutTexts();
    if (!m_window)
        return problems;
    checkItem(m_window->contentItem(), m_window->contentItem(), problems);
    for (const char* name : {"fileTable", "deviceTable"}) {
        const QQuickItem* table = item(name);
        const auto* viewport = table ? table->property("viewport").value<QQuickItem*>() : nullptr;
        if (!viewport)
            continue;
        qreal columns = 0;
        for (int i = 0; i < table->property("columnCount").toInt(); ++i) {
            QVariant column;
            QMetaObject::invokeMethod(const_cast<QQuickItem*>(table), "getColumn", Q_RETURN_ARG(QVariant, column),
                                      Q_ARG(QVariant, i));
            if (const QObject* object = column.value<QObject*>())
                columns += object->property("width").toReal();
        }
        if (columns > viewport->width() + 0.5)
            problems << QString("%1: columns %2 wide in %3").arg(name).arg(columns).arg(viewport->width());
    }
    problems.removeDuplicates();
    return problems;
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
