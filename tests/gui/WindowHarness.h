#pragma once

#include <memory>

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <QTcpServer>
#include <QTemporaryDir>

#include "support/PseudoTerminal.h"
#include "support/TestSettings.h"

class CProg2Gui;
class QQmlApplicationEngine;
class QQuickItem;
class QQuickWindow;

// The real window with its real bridge, in fresh settings and a fresh folder
// standing in for the executable's, optionally with the built translations
// and a stick on a pseudo-terminal. No real serial port and no network host
// is touched: the update server is a local port that closes every connection.
class WindowHarness
{
public:
    struct Options
    {
        bool translations = false;
        QString savedLanguage; // applSettings/lang before the start
        bool stick = false;    // a pseudo-terminal as the only serial port
    };

    // Settings of the process that the window's own settings element uses
    // (organisation, application, an XDG folder of its own); call before the
    // application object exists.
    static void prepareProcess();
    // The bridge class as the window imports it, the icon and the screen
    // reader's interfaces, as the tool sets them; call once the application exists.
    static void registerTypes();

    explicit WindowHarness(const Options& _options);
    ~WindowHarness();

    bool load();
    CProg2Gui* bridge() const;
    QQuickWindow* window() const { return m_window; }
    QStringList warnings() const;

    // A named object of the window, item or not; the first one found.
    QObject* find(const QString& _objectName) const;
    QQuickItem* item(const QString& _objectName) const;
    // Every item of that name under the window's content, also inside views.
    QList<QQuickItem*> items(const QString& _objectName) const;
    // A left click in the middle of the item, delivered to the window.
    bool click(QQuickItem* _item);
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

    // The stick's side of the line.
    bool connectStick();
    bool joinNetwork(quint8 _seq);
    // Writes a frame body and returns the body of the one frame answered.
    QByteArray sendToStick(const QByteArray& _body);

    TestSettings settings;
    QTemporaryDir applDir;
    std::unique_ptr<PseudoTerminal> pty;

private:
    QByteArray readFrame(int _timeoutMs);

    Options m_options;
    QTcpServer m_server;
    QQmlApplicationEngine* m_engine = nullptr;
    QQuickWindow* m_window = nullptr;
    QString m_savedApplDirPath;
};
