#pragma once

#include <array>

#include <QByteArray>
#include <QList>
#include <QObject>

#include "CSerialPortHandler.h"
#include "OtaServer.h"
#include "common/FirmwareUpdate.h"
#include "common/SystemServices.h"

class FirmwareCatalog;
class RunState;
class ZigBeeDeviceModel;

// The tool's side of the stick protocol: the connect handshake, numbered
// command requests with their one reply, the network status, the reset
// request and what the window shows about the stick. ZCL indications go to
// the OTA server it owns.
//
// The stick announces itself with a connect request and then sends numbered
// command requests; each one acted upon gets at most one reply, and a request
// repeated with the same sequence number gets that same reply again.
class StickInterface : public QObject
{
    Q_OBJECT
public:
    enum FrameType_t : quint8
    {
        ConnectRequest = 0x01,
        ConnectAccept = 0x02,
        CommandRequest = 0x03,
        CommandReply = 0x04,
    };

    enum CommandCode_t : quint8
    {
        ResetToFNReq = 0x01,
        NwkStatusReq = 0x02,
        ZclIndication = 0x10,
    };

    enum eNwkState_t
    {
        eNwkStateDisconnected = 0,
        eNwkStateDiscovering = 1,
        eNwkStateDiscoveryFailed = 2,
        eNwkStateJoined = 3,
        eNwkStateUnknown = 4,
    };

    // The texts it shows, under the numbers the window asks for them.
    enum StickText_t
    {
        StickVersionTxt = 11,
        StickConnectStateTxt = 12,
        ConnectedNetworkStatusTxt = 13,
        StickUpdateDoneImg = 32,
    };

    // What its OTA server needs: the firmware files, the device list and the run state.
    StickInterface(FirmwareCatalog& _catalog, ZigBeeDeviceModel& _devices, RunState& _runState,
                   QObject* parent = nullptr);

    QString getText(int _txtId);
    void requestResetToFN();

    // The OTA server's operations for the window.
    void startDeviceUpdate(bool _start) { m_otaServer.startDeviceUpdate(_start); }
    void startStickUpdate() { m_otaServer.stickUpdate().start(); }
    void setStickUpdateInfo(unsigned int _version, QString _fileName);
    bool isStickUpdateAvailable() const { return m_otaServer.stickUpdate().isUpdateAvailable(); }
    int stickUpdateState() const { return m_otaServer.stickUpdate().state(); }
    const FirmwareUpdate& stickFirmware() const { return m_otaServer.stickUpdate().firmware(); }
    OtaServer& otaServer() { return m_otaServer; }
    const OtaServer& otaServer() const { return m_otaServer; }

    int linkState() const { return m_serialPortHandler.state(); }
    int nwkState() const { return m_nwkState; }
    int nwkChannel() const { return m_nwkChannel; }
    quint16 nwkShortAddr() const { return m_nwkShortAddr; }
    const std::array<quint8, 8>& nwkId() const { return m_nwkId; }
    bool isResetToFNPending() const { return m_resetToFN; }
    quint16 stickDevType() const { return m_stickDevType; }
    void setStickDevType(quint16 _devType) { m_stickDevType = _devType; }
    const CSerialPortHandler& serialPortHandler() const { return m_serialPortHandler; }

signals:
    void textChanged(int _txtId);
    void stickVersionAvailable();
    void helpUpdateRequired();
    void deviceDataRepaint();
    // The stick reported another network than before; its devices are searched anew.
    void networkChanged();
    // Every frame body handed to the link, in the order sent.
    void frameSent(QByteArray _body);

public slots:
    void rxFrame(QByteArray _rFrame);
    void textChangeSlot(int _txtId);
    void serialPortStateChanged();

private:
    void init();

    void rxCmd(QByteArray _frame);
    void rxNwkStatusReq(unsigned char _seq, const QByteArray _payload);
    void rxZclIndication(unsigned char _seq, const QByteArray _payload);
    void sendConnectAccept();
    void sendEmptyReply(unsigned char _seq);
    void sendResetToFNReply(unsigned char _seq);
    void sendZclReply(unsigned char _seq, const QByteArray& _payload);
    void sendReply(QByteArray _body);

    QString stickVersionText() const;
    QString connectStateText() const;
    QString networkStatusText() const;
    ZigBeeDeviceModel* deviceModel() const;
    void forgetDevices();
    bool isStickUpdateRunning() const;
    bool isLinkConnected() const;

    ZigBeeDeviceModel& m_devices;
    RunState& m_runState;
    OtaServer m_otaServer;
    bool m_resetToFN = false;
    bool m_firstNwkStatusSeen = false;
    int m_nwkState = eNwkStateUnknown;
    quint8 m_nwkChannel = 0;
    std::array<quint8, 8> m_nwkId{};
    quint16 m_nwkShortAddr = 0;
    quint16 m_stickDevType = 0xFFFF;
    CSerialPortHandler m_serialPortHandler;
    quint8 m_lastRxSeq = 0;
    QByteArray m_lastTxFrame;
};
