#pragma once

#include <memory>

#include <QByteArray>
#include <QTcpServer>
#include <QTemporaryDir>

#include "support/PseudoTerminal.h"
#include "support/TestSettings.h"
#include "support/WindowDriver.h"

// The real window with its real bridge, in fresh settings and a fresh folder
// standing in for the executable's, optionally with the built translations
// and a stick on a pseudo-terminal. No real serial port and no network host
// is touched: the update server is a local port that closes every connection.
class WindowHarness : public WindowDriver
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

    explicit WindowHarness(const Options& _options);
    ~WindowHarness() override;

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
    QString m_savedApplDirPath;
};
