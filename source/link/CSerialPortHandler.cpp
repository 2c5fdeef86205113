#include "CSerialPortHandler.h"

#include <QFileInfo>
#include <QSerialPortInfo>
#include <QSettings>

#include "FrameCodec.h"
#include "common/log.h"
#include "common/settings.h"

CSerialPortHandler::PortListFunction CSerialPortHandler::s_portListFunction;

CSerialPortHandler::CSerialPortHandler(QObject* parent) : QObject(parent)
{
    CONNECT_OR_LOG(lcLink, &m_timer, &QTimer::timeout, this, &CSerialPortHandler::timerExpired);
    CONNECT_OR_LOG(lcLink, &m_serialPort, &QSerialPort::readyRead, this, &CSerialPortHandler::readData);
    CONNECT_OR_LOG(lcLink, &m_serialPort, &QSerialPort::errorOccurred, this, &CSerialPortHandler::handleError);
    CONNECT_OR_LOG(lcLink, &m_serialPort, &QSerialPort::bytesWritten, this, [this] { outputTaken(); });
    m_drainTimer.setSingleShot(true);
    CONNECT_OR_LOG(lcLink, &m_drainTimer, &QTimer::timeout, this, [this] { outputStalled(); });

    m_serialPortList = enumeratePorts();
    m_portIndex = 0;
    m_timer.start(kSearchIntervalMs);
    startSearch();
}

CSerialPortHandler::~CSerialPortHandler()
{
    if (m_serialPort.isOpen())
        m_serialPort.close();
    m_timer.stop();
}

void CSerialPortHandler::closePort()
{
    if (m_serialPort.isOpen())
        m_serialPort.close();
    ++m_portGeneration;
    // A partial frame of the old port must not merge with the next port's bytes.
    m_rxBuffer.clear();
    m_drainTimer.stop();
    m_repliesNotQueued = 0;
}

void CSerialPortHandler::setPortListFunction(PortListFunction _function)
{
    s_portListFunction = std::move(_function);
}

QStringList CSerialPortHandler::defaultPortList()
{
    QStringList names;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports)
        names << info.portName();
    return names;
}

QStringList CSerialPortHandler::pinnedPorts()
{
    QStringList pinned;
    if (QSettings* settings = getSettings()) {
        const QStringList values = settings->value("serial/ports").toStringList();
        for (const QString& value : values) {
            if (!value.trimmed().isEmpty())
                pinned << value.trimmed();
        }
    }
    return pinned;
}

QStringList CSerialPortHandler::enumeratePorts() const
{
    // A pinned list in the settings replaces the enumeration.
    const QStringList pinned = pinnedPorts();
    if (!pinned.isEmpty())
        return pinned;
    return s_portListFunction ? s_portListFunction() : defaultPortList();
}

bool CSerialPortHandler::openPort(QString& portName)
{
    m_serialPort.setPortName(portName);
    m_serialPort.setBaudRate(QSerialPort::Baud115200, QSerialPort::AllDirections);
    m_serialPort.setDataBits(QSerialPort::Data8);
    m_serialPort.setParity(QSerialPort::NoParity);
    m_serialPort.setStopBits(QSerialPort::OneStop);
    m_serialPort.setFlowControl(QSerialPort::NoFlowControl);
    m_serialPort.clearError();
    if (!m_serialPort.open(QIODevice::ReadWrite)) {
        LOG(lcLink, QString("Error on open serial port %1: '%2'").arg(portName, m_serialPort.errorString()));
        noteOpenResult(portName, false);
        return false;
    }
    noteOpenResult(portName, true);
    ++m_portGeneration;
    m_errorsInRow = 0;
    endErrorSeries();
    return m_serialPort.isOpen();
}

namespace {
// The device file of a port name: the name itself when it is a path, else
// the file QSerialPortInfo knows; empty where ports have no file.
QString portLocation(const QString& _portName)
{
    if (QFileInfo(_portName).isAbsolute())
        return _portName;
    const QString location = QSerialPortInfo(_portName).systemLocation();
    return QFileInfo::exists(location) ? location : QString();
}

bool userHasAccess(const QString& _portName)
{
    const QString location = portLocation(_portName);
    if (location.isEmpty())
        return true;
    const QFileInfo file(location);
    return file.isReadable() && file.isWritable();
}
} // namespace

CSerialPortHandler::OpenProblem_t CSerialPortHandler::classifyOpenError(QSerialPort::SerialPortError _error,
                                                                        bool _userHasAccess)
{
    if (_error != QSerialPort::PermissionError)
        return eOpenProblemNone;
    return _userHasAccess ? eOpenProblemInUse : eOpenProblemNoAccess;
}

void CSerialPortHandler::noteOpenResult(const QString& _portName, bool _opened)
{
    const OpenProblem_t before = openProblem();
    const QString portBefore = problemPortLocation();
    for (int i = m_openProblems.size() - 1; i >= 0; --i) {
        if (m_openProblems.at(i).first == _portName)
            m_openProblems.removeAt(i);
    }
    const OpenProblem_t problem =
        _opened ? eOpenProblemNone : classifyOpenError(m_serialPort.error(), userHasAccess(_portName));
    if (problem != eOpenProblemNone)
        m_openProblems.append({_portName, problem});
    // A port that is no longer listed has no problem either.
    for (int i = m_openProblems.size() - 1; i >= 0; --i) {
        if (!m_serialPortList.contains(m_openProblems.at(i).first))
            m_openProblems.removeAt(i);
    }
    if (openProblem() != before || problemPortLocation() != portBefore) {
        LOG(lcLink, QString("port open problem %1 on '%2'").arg(int(openProblem())).arg(problemPortLocation()));
        emit stateChanged();
    }
}

CSerialPortHandler::OpenProblem_t CSerialPortHandler::openProblem() const
{
    return m_openProblems.isEmpty() ? eOpenProblemNone : m_openProblems.first().second;
}

QString CSerialPortHandler::problemPortLocation() const
{
    if (m_openProblems.isEmpty())
        return QString();
    const QString location = portLocation(m_openProblems.first().first);
    return location.isEmpty() ? m_openProblems.first().first : location;
}

QString CSerialPortHandler::problemPortGroup() const
{
    const QString location = m_openProblems.isEmpty() ? QString() : portLocation(m_openProblems.first().first);
    return location.isEmpty() ? QString() : QFileInfo(location).group();
}

void CSerialPortHandler::setStateAndNotify(int _state)
{
    m_eState = _state;
    emit stateChanged();
}

void CSerialPortHandler::startSearch()
{
    if (m_eState != eStateSearching)
        setStateAndNotify(eStateSearching);
    LOG(lcLink, QString("m_portIndex %1, m_serialPortList.size() %2").arg(m_portIndex).arg(m_serialPortList.size()));
    while (m_portIndex < m_serialPortList.size()) {
        QString name = m_serialPortList.at(m_portIndex);
        if (openPort(name)) {
            m_timer.start(kSearchIntervalMs);
            LOG(lcLink, QString("serial port %1 open; idx %2").arg(name).arg(m_portIndex));
            return;
        }
        LOG(lcLink, QString("unable to open serial port %1; idx %2").arg(name).arg(m_portIndex));
        ++m_portIndex;
    }
}

void CSerialPortHandler::setState(int state)
{
    if (state == m_eState)
        return;
    setStateAndNotify(state);
    if (state == eStateConnected)
        m_timer.start(kWatchdogIntervalMs);
}

void CSerialPortHandler::sendFrame(QByteArray body)
{
    // Without an open port the frame is dropped quietly; the stick repeats
    // its request once the link is back.
    if (!m_serialPort.isOpen())
        return;
    const QByteArray frame = FrameCodec::encode(body);
    if (m_serialPort.bytesToWrite() + frame.size() > kMaxPendingOutput) {
        if (m_repliesNotQueued++ == 0) {
            LOG(lcLink, QString("output held up: %1 bytes wait for the port; replies are not queued")
                            .arg(m_serialPort.bytesToWrite()));
            m_drainTimer.start(kWatchdogIntervalMs);
        }
        return;
    }
    m_serialPort.write(frame);
}

void CSerialPortHandler::outputTaken()
{
    if (m_repliesNotQueued == 0)
        return;
    if (m_serialPort.bytesToWrite() >= kMaxPendingOutput) {
        m_drainTimer.start(kWatchdogIntervalMs);
        return;
    }
    LOG(lcLink, QString("output flows again: %1 replies were not queued").arg(m_repliesNotQueued));
    m_repliesNotQueued = 0;
    m_drainTimer.stop();
}

void CSerialPortHandler::outputStalled()
{
    if (!m_serialPort.isOpen())
        return;
    LOG(lcLink, QString("serial port %1 closed: %2 bytes not taken for %3 ms, %4 replies not queued")
                    .arg(currentPortName())
                    .arg(m_serialPort.bytesToWrite())
                    .arg(kWatchdogIntervalMs)
                    .arg(m_repliesNotQueued));
    closeAndSearchAgain();
}

void CSerialPortHandler::timerExpired()
{
    switch (m_eState) {
    case eStateSearching:
    case eStateConnectionLost:
        closePort();
        ++m_portIndex;
        if (m_portIndex >= m_serialPortList.size()) {
            m_serialPortList = enumeratePorts();
            m_portIndex = 0;
        }
        startSearch();
        break;
    case eStateConnected:
        // Watchdog: no byte for 6 seconds.
        LOG(lcLink, QString("m_eState %1").arg(m_eState));
        closePort();
        setStateAndNotify(eStateConnectionLost);
        m_serialPortList = enumeratePorts();
        m_portIndex = 0;
        startSearch();
        break;
    default:
        break;
    }
}

void CSerialPortHandler::readData()
{
    const QByteArray chunk = m_serialPort.readAll();
    if (m_eState == eStateConnected)
        m_timer.start(kWatchdogIntervalMs);
    // The port works: errors before this were passing ones.
    if (!chunk.isEmpty()) {
        m_errorsInRow = 0;
        if (m_errorRepeats > 0)
            endErrorSeries();
    }
    m_rxBuffer.feed(chunk, [this](const QByteArray& _body) { emit receivedFrame(_body); });
}

void CSerialPortHandler::handleError(QSerialPort::SerialPortError _error)
{
    if (_error == QSerialPort::NoError)
        return;
    // A line that fails on every call reports the same error thousands of
    // times a second: the first is logged, the rest are counted.
    const QString text = m_serialPort.errorString();
    if (_error == m_lastError && text == m_lastErrorText) {
        ++m_errorRepeats;
    } else {
        endErrorSeries();
        m_lastError = _error;
        m_lastErrorText = text;
        m_errorRepeats = 1;
        LOG(lcLink, QString("error %1 '%2'").arg(static_cast<int>(_error)).arg(text));
    }

    // A port that could not be opened is skipped by the search.
    if (!m_serialPort.isOpen() || m_dropPending)
        return;
    ++m_errorsInRow;
    const bool fatal = _error == QSerialPort::DeviceNotFoundError || _error == QSerialPort::PermissionError ||
                       _error == QSerialPort::ResourceError || m_errorsInRow >= kErrorsInRowLimit;
    if (!fatal)
        return;
    // Not from within the port's own signal: the port goes on with its work
    // after the signal returns.
    m_dropPending = true;
    QMetaObject::invokeMethod(
        this, [this, generation = m_portGeneration] { dropPort(generation); }, Qt::QueuedConnection);
}

void CSerialPortHandler::endErrorSeries()
{
    if (m_errorRepeats > 1) {
        LOG(lcLink, QString("error %1 '%2' %3 times in a row")
                        .arg(static_cast<int>(m_lastError))
                        .arg(m_lastErrorText)
                        .arg(m_errorRepeats));
    }
    m_lastError = QSerialPort::NoError;
    m_lastErrorText.clear();
    m_errorRepeats = 0;
}

void CSerialPortHandler::dropPort(quint32 _generation)
{
    m_dropPending = false;
    // The port the error came from is gone already.
    if (_generation != m_portGeneration || !m_serialPort.isOpen())
        return;
    const QString name = currentPortName();
    const int error = static_cast<int>(m_lastError);
    endErrorSeries();
    LOG(lcLink, QString("serial port %1 closed after error %2").arg(name).arg(error));
    closeAndSearchAgain();
}

void CSerialPortHandler::closeAndSearchAgain()
{
    closePort();
    // The search goes on with the next timer step, not at once: a port that
    // fails on every call is opened once per search interval at most. After a
    // connection it starts again from the first port of a new enumeration, as
    // after a link loss; while searching it moves on to the next port.
    if (m_eState == eStateConnected) {
        setStateAndNotify(eStateConnectionLost);
        m_portIndex = m_serialPortList.size();
    }
    if (m_eState != eStateSearching)
        setStateAndNotify(eStateSearching);
    m_timer.start(kSearchIntervalMs);
}
