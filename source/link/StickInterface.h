#pragma once

#include <array>

#include <QByteArray>
#include <QList>
#include <QObject>

#include "CSerialPortHandler.h"
#include "OtaRecords.h"
#include "bridge/CProg2Gui.h"
#include "common/FirmwareUpdate.h"

class ZigBeeDevice;
class ZigBeeDeviceModel;

// The tool's side of the stick protocol and the OTA Upgrade server; it also
// keeps what the window shows about the stick.
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

    enum eStickUpdateState_t
    {
        eStickUpdateStateUnknown = 0,
        eStickUpdateStateIdle = 1,
        eStickUpdateStateTransfer = 2,
        eStickUpdateStateWait = 3,
        eStickUpdateStateSuccess = 4,
        eStickUpdateStateFail = 5,
        eStickUpdateStateUpToDate = 6,
    };

    enum eNwkState_t
    {
        eNwkStateDisconnected = 0,
        eNwkStateDiscovering = 1,
        eNwkStateDiscoveryFailed = 2,
        eNwkStateJoined = 3,
        eNwkStateUnknown = 4,
    };

    explicit StickInterface(QObject* parent);

    QString getText(int _txtId);
    void requestResetToFN();

    // A device update run: start (true) or abort (false).
    void startDeviceUpdate(bool _start);
    void startStickUpdate();
    // The update index or the backup file announces stick firmware (device type 6).
    void setStickUpdateInfo(unsigned int _version, QString _fileName);
    bool isStickUpdateAvailable() const;

    int linkState() const { return m_serialPortHandler.state(); }
    int nwkState() const { return m_nwkState; }
    int stickUpdateState() const { return m_eStickUpdateState; }
    bool isResetToFNPending() const { return m_resetToFN; }
    const FirmwareUpdate& stickFirmware() const { return m_stickFirmware; }
    quint16 stickDevType() const { return m_stickDevType; }
    void setStickDevType(quint16 _devType) { m_stickDevType = _devType; }
    const CSerialPortHandler& serialPortHandler() const { return m_serialPortHandler; }

    // The update list: short addresses of the devices whose transfer runs.
    QList<ushort>& updateList() { return m_updateList; }

signals:
    void textChanged(int _txtId);
    void stickVersionAvailable();
    void helpUpdateRequired();
    void deviceDataRepaint();
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
    void sendReply(QByteArray _body);

    void ZclQueryNextImageReq(unsigned char _seq, const QByteArray _payload);
    void ZclImageBlockReq(unsigned char _seq, const QByteArray _payload);
    void ZclUpgradeEndReq(unsigned char _seq, const QByteArray _payload);
    void ZclQueryNextImageReq_Stick(unsigned char _seq, const _IsdCommandIndication_t* _ind,
                                    const _ZCL_OtauQueryNextImageReq_t* _req);
    void ZclQueryNextImageReq_Device(unsigned char _seq, const _IsdCommandIndication_t* _ind,
                                     const _ZCL_OtauQueryNextImageReq_t* _req, ZigBeeDevice* _device);
    void sendZclQueryNextImageResp(unsigned char _seq, const _IsdCommandIndication_t* _ind,
                                   const _ZCL_OtauQueryNextImageResp_t& _resp);
    void sendZclImageBlockResp(unsigned char _seq, const _IsdCommandIndication_t* _ind,
                               const _ZCL_OtauImageBlockResp_t& _resp, QByteArray _data);
    void sendZclUpdateEndResp(unsigned char _seq, const _IsdCommandIndication_t* _ind,
                              const _ZCL_OtauUpgradeEndResp_t& _resp);

    // Reads the indication header and the request after it; a short payload
    // is logged under _what and gets no reply.
    template <typename Request>
    bool readRequest(const char* _what, const QByteArray& _payload, _IsdCommandIndication_t& _ind, Request& _req);
    void checkUpdateStop();
    void setStickUpdateState(int _state);
    QString stickVersionText() const;
    ZigBeeDeviceModel* deviceModel() const;
    CProg2Gui::SysState_t sysState() const;
    void setSysState(CProg2Gui::SysState_t _state);
    bool isLinkConnected() const;

    FirmwareUpdate m_stickFirmware;
    quint32 m_stickUpdateVersion = kNoVersion;
    QString m_stickUpdateFileName;
    int m_eStickUpdateState = eStickUpdateStateUnknown;
    bool m_resetToFN = false;
    bool m_firstNwkStatusSeen = false;
    int m_nwkState = eNwkStateUnknown;
    quint8 m_nwkChannel = 0;
    std::array<quint8, 8> m_nwkId{};
    quint16 m_nwkShortAddr = 0;
    quint16 m_stickDevType = 0xFFFF;
    CProg2Gui* m_gui = nullptr;
    CSerialPortHandler m_serialPortHandler;
    QList<ushort> m_updateList;
    quint8 m_lastRxSeq = 0;
    QByteArray m_lastTxFrame;
};
