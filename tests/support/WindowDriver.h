#pragma once

#include <functional>
#include <memory>

#include <QList>
#include <QString>
#include <QStringList>

class CProg2Gui;
class QObject;
class QQmlApplicationEngine;
class QQuickItem;
class QQuickWindow;

// The tool's real window, loaded from its resources the way the entry point
// loads it, and worked like a person works it: controls found by their
// objectName and clicked with the mouse. Needs a QApplication; the window's
// resources and pictures are compiled into the executable that uses it.
class WindowDriver
{
public:
    WindowDriver();
    virtual ~WindowDriver(); // destroys the window and with it the bridge

    // The bridge class as the window imports it, the icon and the screen
    // reader's interfaces, as the tool sets them; once per process, after the
    // application exists. load() calls it when nobody has.
    static void registerTypes();

    // Loads the window, which creates the bridge, and waits until it is
    // shown; false with the reason in _error (when given) otherwise. From
    // here until unload() every warning of the process is collected.
    bool load(QString* _error = nullptr);
    // Destroys the window and with it the bridge.
    void unload();
    QQuickWindow* window() const { return m_window; }
    CProg2Gui* bridge() const;
    // Warnings of Qt and of the window's QML since load(), apart from notes
    // of the platform that say nothing about the window.
    QStringList warnings() const;

    // A named object of the window, item or not; the first one found.
    QObject* find(const QString& _objectName) const;
    QQuickItem* item(const QString& _objectName) const;
    // Every item of that name under the window's content, also inside views.
    QList<QQuickItem*> items(const QString& _objectName) const;
    bool isEnabled(const QString& _objectName) const;
    // A left click in the middle of a visible item, delivered to the window.
    bool click(QQuickItem* _item);
    // A left click in the middle of the named control.
    bool click(const QString& _objectName, QString* _error);
    // Waits for the named control to be visible and enabled, then clicks it.
    bool clickWhenEnabled(const QString& _objectName, int _timeoutMs, QString* _error);
    // A picture of the window as it is drawn now.
    bool grab(const QString& _path) const;

    // Every visible column title and button (check boxes included) whose text
    // needs more width than it has, as "text: needs N, has M"; empty when
    // nothing is cut.
    QStringList cutTexts() const;
    // Everything that does not fit in the window as it is drawn now, one
    // line each: the cut texts above; a text elided, cut after its last line
    // or wider than its item, or reaching out of the item that holds it; a
    // named item reaching out of the named item around it (a control out of
    // its box); two items of one layout overlapping; a table whose columns
    // are wider than the table. Empty when everything fits.
    QStringList layoutProblems() const;

    // What a person does in the window, step by step, each step waiting for
    // the window to offer the next button: "Download" once the index has
    // arrived (with "All Files" checked), "Update Stick", then "Update
    // Devices" once _devices devices are listed, until every device shows its
    // new firmware, and "Cancel". False with the step that failed.
    using Report = std::function<void(const QString& _line)>;
    bool runUpdateFlow(int _devices, int _stepTimeoutMs, const Report& _report, QString* _error);
    // The downloads alone, no stick needed: "Download" once the index has
    // arrived (with "All Files" checked), until every offered file is held.
    bool downloadOffered(int _stepTimeoutMs, const Report& _report, QString* _error);
    // "Update Tool" once the index has arrived and the button is offered (a
    // newer tool package is held): the update script starts and the bridge
    // asks the application to quit.
    bool startToolUpdate(int _stepTimeoutMs, const Report& _report, QString* _error);
    // Every listed device updated (success and the version of its firmware
    // file) or, running a newer version than that file, left as it is.
    bool allDevicesUpdated() const;

private:
    // The bridge once the update index has arrived; null with the reason.
    CProg2Gui* waitForIndex(int _timeoutMs, QString* _error);
    void clickCentre(QQuickItem* _item);

    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QQuickWindow* m_window = nullptr;
};
