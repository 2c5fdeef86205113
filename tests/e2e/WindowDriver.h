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

private:
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QQuickWindow* m_window = nullptr;
};
