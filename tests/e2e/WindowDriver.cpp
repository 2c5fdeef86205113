#include "WindowDriver.h"

#include <QPixmap>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>
#include <QtTest>

#include "bridge/CProg2Gui.h"
#include "content/FirmwareUpdateFileModel.h"
#include "devices/ZigBeeDeviceModel.h"
#include "link/StickInterface.h"

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
    return m_window ? qobject_cast<CProg2Gui*>(theBridge) : nullptr;
}

namespace {
// Controls inside group boxes and layouts are not always QObject children of
// the window; the visual tree holds them all.
QQuickItem* findItem(QQuickItem* _root, const QString& _objectName)
{
    if (!_root)
        return nullptr;
    if (_root->objectName() == _objectName)
        return _root;
    for (QQuickItem* child : _root->childItems()) {
        if (QQuickItem* found = findItem(child, _objectName))
            return found;
    }
    return nullptr;
}
} // namespace

QQuickItem* WindowDriver::item(const QString& _objectName) const
{
    if (!m_window)
        return nullptr;
    if (QQuickItem* found = m_window->findChild<QQuickItem*>(_objectName))
        return found;
    return findItem(m_window->contentItem(), _objectName);
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

bool WindowDriver::clickWhenEnabled(const QString& _objectName, int _timeoutMs, QString* _error)
{
    if (!QTest::qWaitFor([&] { return isEnabled(_objectName); }, _timeoutMs)) {
        *_error = QString("%1 was not enabled within %2 s").arg(_objectName).arg(_timeoutMs / 1000);
        return false;
    }
    return click(_objectName, _error);
}

bool WindowDriver::allDevicesUpdated() const
{
    const ZigBeeDeviceModel* devices = bridge() ? bridge()->deviceModel() : nullptr;
    if (!devices || devices->rowCount() == 0)
        return false;
    for (int row = 0; row < devices->rowCount(); ++row) {
        const QVariantMap values = devices->get(row);
        const ZigBeeDevice* device = devices->findDevice(values.value("name").toString().toUShort(nullptr, 16));
        if (!device)
            return false;
        const bool updated =
            device->m_result == ProgressHelper::eResultSuccess && device->m_version == device->updateVersion();
        // A device that runs a newer version than the one held is offered
        // nothing and stays as it is.
        const bool newer = device->m_result == ProgressHelper::eResultUnknown && device->m_version != kNoVersion &&
                           device->updateVersion() != kNoVersion && device->m_version > device->updateVersion();
        if (!updated && !newer)
            return false;
    }
    return true;
}

namespace {
// Waits for _condition; false with _what in _error when it does not come.
bool waitFor(const std::function<bool()>& _condition, const QString& _what, int _timeoutMs, QString* _error)
{
    if (QTest::qWaitFor(_condition, _timeoutMs))
        return true;
    *_error = QString("%1: not within %2 s").arg(_what).arg(_timeoutMs / 1000);
    return false;
}
} // namespace

bool WindowDriver::downloadOffered(int _stepTimeoutMs, const Report& _report, QString* _error)
{
    CProg2Gui* tool = bridge();
    if (!tool) {
        *_error = "no window loaded";
        return false;
    }
    if (!waitFor([&] { return tool->updateXmlState() == CProg2Gui::eUpdateXmlStateOk; }, "update index", _stepTimeoutMs,
                 _error))
        return false;
    if (tool->iGetVal(CProg2Gui::FirmwareSelectState_ValId) != 2 && !click("commonFileSelector", _error))
        return false;
    if (!clickWhenEnabled("fileUpdateButton", _stepTimeoutMs, _error))
        return false;
    _report("Download clicked");
    if (!waitFor(
            [&] {
                return tool->isSysState(CProg2Gui::SysStateIdle) && !tool->boGetVal(CProg2Gui::FileUpdateButton_ValId);
            },
            "download", _stepTimeoutMs, _error))
        return false;
    const FirmwareUpdateFileModel* files = tool->fileModel();
    for (int row = 0; row < files->rowCount(); ++row) {
        if (files->get(row).value("hasUpdate").toBool()) {
            *_error = "download failed: " + files->get(row).value("version").toString();
            return false;
        }
    }
    _report("files downloaded");
    return true;
}

bool WindowDriver::startToolUpdate(int _stepTimeoutMs, const Report& _report, QString* _error)
{
    CProg2Gui* tool = bridge();
    if (!tool) {
        *_error = "no window loaded";
        return false;
    }
    if (!waitFor([&] { return tool->updateXmlState() == CProg2Gui::eUpdateXmlStateOk; }, "update index", _stepTimeoutMs,
                 _error))
        return false;
    QSignalSpy quit(tool, &CProg2Gui::quitApplication);
    if (!clickWhenEnabled("applUpdateButton", _stepTimeoutMs, _error))
        return false;
    _report("Update Tool clicked");
    if (quit.isEmpty()) {
        *_error = "the tool update did not start: " + tool->toolUpdater().errorText();
        return false;
    }
    _report("update script started");
    return true;
}

bool WindowDriver::runUpdateFlow(int _devices, int _stepTimeoutMs, const Report& _report, QString* _error)
{
    CProg2Gui* tool = bridge();
    if (!tool) {
        *_error = "no window loaded";
        return false;
    }
    auto waitFor = [&](const std::function<bool()>& _condition, const QString& _what) {
        return ::waitFor(_condition, _what, _stepTimeoutMs, _error);
    };

    // What a person waits for before the first click: the stick in its
    // network, the index from the server, devices in the table.
    if (!waitFor([&] { return tool->updateXmlState() == CProg2Gui::eUpdateXmlStateOk; }, "update index"))
        return false;
    if (!waitFor(
            [&] {
                return tool->stickInterface()->nwkState() == StickInterface::eNwkStateJoined &&
                       tool->deviceModel()->rowCount() > 0;
            },
            "stick in its network"))
        return false;
    _report("ready: " + tool->getText(CProg2Gui::ServerErrorTxt_ValId) + ", network " +
            tool->getText(CProg2Gui::ConnectedNetworkStatus_ValId));
    if (!downloadOffered(_stepTimeoutMs, _report, _error))
        return false;

    if (!clickWhenEnabled("stickUpdateButton", _stepTimeoutMs, _error))
        return false;
    _report("Update Stick clicked");
    if (!waitFor(
            [&] {
                return tool->getText(CProg2Gui::StickUpdateDoneImg_ValId) == "qrc:/pic/checkmark.png" &&
                       tool->isSysState(CProg2Gui::SysStateIdle);
            },
            "stick update"))
        return false;
    _report("stick updated: " + tool->getText(CProg2Gui::StickVersionTxt_ValId));

    if (!waitFor([&] { return tool->deviceModel()->rowCount() >= _devices; },
                 QString("%1 devices listed").arg(_devices)))
        return false;
    if (!clickWhenEnabled("flashButton", _stepTimeoutMs, _error))
        return false;
    _report("Update Devices clicked");
    if (!waitFor([&] { return allDevicesUpdated(); }, "device update"))
        return false;
    _report("devices updated: " + tool->getText(CProg2Gui::DeviceCombinedProgressText_ValId));

    if (!clickWhenEnabled("flashAbortButton", _stepTimeoutMs, _error))
        return false;
    _report("Cancel clicked");
    return waitFor([&] { return tool->isSysState(CProg2Gui::SysStateIdle); }, "end of the run");
}
