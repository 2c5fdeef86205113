#pragma once

#include <functional>
#include <memory>

#include <QString>

class CProg2Gui;
class QQmlApplicationEngine;
class QQuickItem;
class QQuickWindow;

// The tool's real window, loaded from its resources the way the entry point
// loads it, and worked like a person works it: buttons found by their
// objectName and clicked with the mouse. Needs a QApplication.
class WindowDriver
{
public:
    WindowDriver();
    ~WindowDriver(); // destroys the window and with it the bridge

    // Registers the bridge's QML type and loads the window; the window
    // creates the bridge.
    bool load(QString* _error);
    QQuickWindow* window() const { return m_window; }
    CProg2Gui* bridge() const;

    QQuickItem* item(const QString& _objectName) const;
    bool isEnabled(const QString& _objectName) const;
    // A left click in the middle of the named control.
    bool click(const QString& _objectName, QString* _error);
    // A picture of the window as it is drawn now.
    bool grab(const QString& _path) const;

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
    bool clickWhenEnabled(const QString& _objectName, int _timeoutMs, QString* _error);

    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QQuickWindow* m_window = nullptr;
};
