#include "WindowDriver.h"

#include <QPixmap>
#include <QScreen>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QtTest>

#include "bridge/CProg2Gui.h"

WindowDriver::WindowDriver() = default;

WindowDriver::~WindowDriver()
{
    m_engine.reset();
}

bool WindowDriver::load(QString* _error)
{
    static const int registered = qmlRegisterType<CProg2Gui>("cpp.qml.interface", 1, 0, "CppQmlIf");
    Q_UNUSED(registered)
    m_engine = std::make_unique<QQmlApplicationEngine>();
    QStringList warnings;
    const QMetaObject::Connection collect =
        QObject::connect(m_engine.get(), &QQmlEngine::warnings, [&warnings](const QList<QQmlError>& _errors) {
            for (const QQmlError& error : _errors)
                warnings.append(error.toString());
        });
    m_engine->load(QUrl("qrc:/Merovan.qml"));
    QObject::disconnect(collect);
    if (m_engine->rootObjects().isEmpty()) {
        *_error = "the window did not load: " + warnings.join("; ");
        return false;
    }
    m_window = qobject_cast<QQuickWindow*>(m_engine->rootObjects().first());
    if (!m_window) {
        *_error = "the root object is no window";
        return false;
    }
    if (!QTest::qWaitForWindowExposed(m_window, 5000)) {
        *_error = "the window was not shown";
        return false;
    }
    return true;
}

CProg2Gui* WindowDriver::bridge() const
{
    // The window's one CppQmlIf element.
    return m_window ? theBridge : nullptr;
}

QQuickItem* WindowDriver::item(const QString& _objectName) const
{
    return m_window ? m_window->contentItem()->findChild<QQuickItem*>(_objectName) : nullptr;
}

bool WindowDriver::isEnabled(const QString& _objectName) const
{
    const QQuickItem* found = item(_objectName);
    return found && found->isVisible() && found->property("enabled").toBool();
}

bool WindowDriver::click(const QString& _objectName, QString* _error)
{
    QQuickItem* target = item(_objectName);
    if (!target) {
        *_error = "no control " + _objectName;
        return false;
    }
    const QPointF centre = target->mapToScene(QPointF(target->width() / 2, target->height() / 2));
    QTest::mouseClick(m_window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    return true;
}

bool WindowDriver::grab(const QString& _path) const
{
    if (!m_window)
        return false;
    // Wait for the frame that shows the latest state. The software renderer
    // cannot grab the window itself offscreen; the screen holds its backing store.
    QSignalSpy swapped(m_window, &QQuickWindow::frameSwapped);
    m_window->update();
    swapped.wait(2000);
    const QPixmap shot = m_window->screen()->grabWindow(m_window->winId());
    return !shot.isNull() && shot.save(_path);
}
