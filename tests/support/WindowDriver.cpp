#include "WindowDriver.h"

#include <QPixmap>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>
#include <QtTest>

#include "app/WindowEnvironment.h"
#include "bridge/CProg2Gui.h"
#include "content/FirmwareUpdateFileModel.h"
#include "devices/ZigBeeDeviceModel.h"
#include "link/StickInterface.h"

namespace {
QStringList s_warnings;
QtMessageHandler s_previous = nullptr;
bool s_collecting = false;

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

// Waits for _condition; false with _what in _error when it does not come.
bool waitFor(const std::function<bool()>& _condition, const QString& _what, int _timeoutMs, QString* _error)
{
    if (QTest::qWaitFor(_condition, _timeoutMs))
        return true;
    *_error = QString("%1: not within %2 s").arg(_what).arg(_timeoutMs / 1000);
    return false;
}

void setError(QString* _error, const QString& _text)
{
    if (_error)
        *_error = _text;
}
} // namespace

WindowDriver::WindowDriver() = default;

WindowDriver::~WindowDriver()
{
    unload();
}

void WindowDriver::registerTypes()
{
    static bool s_registered = false;
    if (s_registered)
        return;
    s_registered = true;
    WindowEnvironment::prepareApplication();
}

bool WindowDriver::load(QString* _error)
{
    registerTypes();
    s_warnings.clear();
    if (!s_collecting) {
        s_previous = qInstallMessageHandler(warningHandler);
        s_collecting = true;
    }
    m_engine = std::make_unique<QQmlApplicationEngine>();
    QStringList loadErrors;
    QObject::connect(m_engine.get(), &QQmlEngine::warnings, [](const QList<QQmlError>& _errors) {
        for (const QQmlError& error : _errors)
            s_warnings.append(error.toString());
    });
    const QMetaObject::Connection collect =
        QObject::connect(m_engine.get(), &QQmlEngine::warnings, [&loadErrors](const QList<QQmlError>& _errors) {
            for (const QQmlError& error : _errors)
                loadErrors.append(error.toString());
        });
    m_engine->load(QUrl("qrc:/Merovan.qml"));
    QObject::disconnect(collect);
    if (m_engine->rootObjects().isEmpty()) {
        setError(_error, "the window did not load: " + loadErrors.join("; "));
        return false;
    }
    m_window = qobject_cast<QQuickWindow*>(m_engine->rootObjects().first());
    if (!m_window) {
        setError(_error, "the root object is no window");
        return false;
    }
    if (!QTest::qWaitForWindowExposed(m_window, 5000)) {
        setError(_error, "the window was not shown");
        return false;
    }
    return true;
}

void WindowDriver::unload()
{
    m_engine.reset();
    m_window = nullptr;
    if (s_collecting) {
        qInstallMessageHandler(s_previous);
        s_previous = nullptr;
        s_collecting = false;
    }
}

CProg2Gui* WindowDriver::bridge() const
{
    // The window's one CppQmlIf element.
    return qobject_cast<CProg2Gui*>(find("appIf"));
}

QStringList WindowDriver::warnings() const
{
    return s_warnings;
}

QObject* WindowDriver::find(const QString& _objectName) const
{
    if (!m_window)
        return nullptr;
    if (QObject* object = m_window->findChild<QObject*>(_objectName))
        return object;
    // Controls inside group boxes, layouts and views are not always QObject
    // children of the window; the visual tree holds them all.
    const QList<QQuickItem*> found = items(_objectName);
    return found.isEmpty() ? nullptr : found.first();
}

QQuickItem* WindowDriver::item(const QString& _objectName) const
{
    return qobject_cast<QQuickItem*>(find(_objectName));
}

QList<QQuickItem*> WindowDriver::items(const QString& _objectName) const
{
    QList<QQuickItem*> found;
    if (m_window)
        collectItems(m_window->contentItem(), _objectName, found);
    return found;
}

bool WindowDriver::isEnabled(const QString& _objectName) const
{
    const QQuickItem* found = item(_objectName);
    return found && found->isVisible() && found->property("enabled").toBool();
}

void WindowDriver::clickCentre(QQuickItem* _item)
{
    const QPointF centre = _item->mapToScene(QPointF(_item->width() / 2, _item->height() / 2));
    QTest::mouseClick(m_window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
}

bool WindowDriver::click(QQuickItem* _item)
{
    if (!_item || !m_window || !_item->isVisible())
        return false;
    clickCentre(_item);
    return true;
}

bool WindowDriver::click(const QString& _objectName, QString* _error)
{
    QQuickItem* target = item(_objectName);
    if (!target) {
        *_error = "no control " + _objectName;
        return false;
    }
    clickCentre(target);
    return true;
}

bool WindowDriver::clickWhenEnabled(const QString& _objectName, int _timeoutMs, QString* _error)
{
    if (!QTest::qWaitFor([&] { return isEnabled(_objectName); }, _timeoutMs)) {
        *_error = QString("%1 was not enabled within %2 s").arg(_objectName).arg(_timeoutMs / 1000);
        return false;
    }
    return click(_objectName, _error);
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

namespace {
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
} // namespace

QStringList WindowDriver::cutTexts() const
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

QStringList WindowDriver::layoutProblems() const
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

CProg2Gui* WindowDriver::waitForIndex(int _timeoutMs, QString* _error)
{
    CProg2Gui* tool = bridge();
    if (!tool) {
        *_error = "no window loaded";
        return nullptr;
    }
    if (!waitFor([&] { return tool->updateXmlState() == CProg2Gui::eUpdateXmlStateOk; }, "update index", _timeoutMs,
                 _error))
        return nullptr;
    return tool;
}

bool WindowDriver::downloadOffered(int _stepTimeoutMs, const Report& _report, QString* _error)
{
    CProg2Gui* tool = waitForIndex(_stepTimeoutMs, _error);
    if (!tool)
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
    CProg2Gui* tool = waitForIndex(_stepTimeoutMs, _error);
    if (!tool)
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
