#pragma once

#include <functional>

#include <QByteArray>
#include <QObject>
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

    static PortListFunction s_portListFunction;
};
