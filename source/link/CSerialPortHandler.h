#pragma once

#include <functional>

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QSerialPort>
#include <QStringList>
#include <QTimer>

#include "FrameDeframer.h"

// Finds the stick by trying every serial port in turn, watches the link once
// the stick has announced itself, and moves frames in both directions.
class CSerialPortHandler : public QObject
{
    Q_OBJECT
public:
    enum ConnectionState_t
    {
        eStateSearching = 0,
        eStateConnected = 1,
        eStateConnectionLost = 2,
        eStateError = 3,
    };

    // Why a port of the search could not be opened.
    enum OpenProblem_t
    {
        eOpenProblemNone = 0,
        eOpenProblemNoAccess = 1, // the user may not use the port's device
        eOpenProblemInUse = 2,    // another program holds the port
    };

    static constexpr int kSearchIntervalMs = 3000;
    static constexpr int kWatchdogIntervalMs = 6000;
    // This many errors in a row on an open port, with nothing read in
    // between, mean that it no longer works, whatever the errors are.
    static constexpr int kErrorsInRowLimit = 10;
    // At most this many bytes wait to be written to the port, a few frames'
    // worth: a stick that asks and asks but does not read must not make them
    // pile up. A reply that would go beyond is not queued; when nothing is
    // written for the watchdog's period while they wait, the port is closed
    // and searched for again.
    static constexpr qint64 kMaxPendingOutput = 4096;

    using PortListFunction = std::function<QStringList()>;

    explicit CSerialPortHandler(QObject* parent = nullptr);
    ~CSerialPortHandler() override;

    bool openPort(QString& portName);
    void startSearch();
    void setState(int state);
    int state() const { return m_eState; }
    void sendFrame(QByteArray body);

    // The name (or path) the open port was opened with; empty while none is open.
    QString currentPortName() const { return m_serialPort.isOpen() ? m_serialPortList.value(m_portIndex) : QString(); }
    bool isPortOpen() const { return m_serialPort.isOpen(); }
    // Bytes written to the open port and not yet taken by it.
    qint64 pendingOutput() const { return m_serialPort.isOpen() ? m_serialPort.bytesToWrite() : 0; }

    // The ports searched when the "serial/ports" setting is empty; by default
    // the names of QSerialPortInfo::availablePorts(). Replaceable for tests.
    static void setPortListFunction(PortListFunction _function);
    static QStringList defaultPortList();
    // The ports pinned by the "serial/ports" setting, without empty entries.
    static QStringList pinnedPorts();

    // The problem of a port that failed to open with _error, where the user
    // may (_userHasAccess) or may not read and write its device file. A
    // port refused although its file is open to the user is held by another
    // program (its lock file, or Windows' exclusive access).
    static OpenProblem_t classifyOpenError(QSerialPort::SerialPortError _error, bool _userHasAccess);
    // A port of the search that could not be opened, while it stays so; the
    // first one found. stateChanged() tells when this changes.
    OpenProblem_t openProblem() const;
    // That port's device file, and the group that owns it (empty where
    // there is no such file, as for the COM ports of Windows).
    QString problemPortLocation() const;
    QString problemPortGroup() const;

signals:
    void receivedFrame(QByteArray _data);
    void stateChanged();

private slots:
    void timerExpired();
    void readData();
    void handleError(QSerialPort::SerialPortError _error);

private:
    QStringList enumeratePorts() const;
    void closePort();
    void setStateAndNotify(int _state);
    // Logs how often the last error was repeated, if more than once, and
    // starts a new series.
    void endErrorSeries();
    // Closes the port after a fatal error and searches again from the next
    // timer step on.
    void dropPort(quint32 _generation);
    void closeAndSearchAgain();
    // The port took bytes: a held-up output may flow again.
    void outputTaken();
    void outputStalled();

    int m_eState = eStateSearching;
    QSerialPort m_serialPort;
    QStringList m_serialPortList;
    int m_portIndex = 0;
    FrameDeframer m_rxBuffer;
    QTimer m_timer;
    // Counts the ports opened and closed, so that a close decided on one
    // port never hits the next.
    quint32 m_portGeneration = 0;
    bool m_dropPending = false;
    // The current series of identical errors: logged once, then counted.
    QSerialPort::SerialPortError m_lastError = QSerialPort::NoError;
    QString m_lastErrorText;
    int m_errorRepeats = 0;
    int m_errorsInRow = 0; // on the open port, since it last delivered bytes
    // Replies not queued since the output reached kMaxPendingOutput; the
    // timer runs while any are, and restarts whenever the port takes bytes.
    int m_repliesNotQueued = 0;
    QTimer m_drainTimer;

    // Notes how the port failed to open (or that it opened) and tells the
    // stick when the search's problem changes.
    void noteOpenResult(const QString& _portName, bool _opened);

    // The ports the search could not open, by name, with their problem.
    QList<QPair<QString, OpenProblem_t>> m_openProblems;

    static PortListFunction s_portListFunction;
};
