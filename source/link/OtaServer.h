#pragma once

#include <functional>

#include <QByteArray>
#include <QList>
#include <QObject>

#include "OtaRecords.h"
#include "common/FirmwareUpdate.h"
#include "common/SystemServices.h"

class ZigBeeDevice;
class ZigBeeDeviceModel;

// The server side of the ZCL OTA Upgrade cluster, for every device of the
// network and for the stick itself. It decides per request whether an image
// is offered, serves the image block by block from the firmware file of the
// client's device type and keeps the bookkeeping of a run: one device at a
// time, wall transmitters first, three attempts at most.
//
// Each request handler first decides what to answer (a pure function of the
// request, the device and the state, below) and then acts on it: sends the
// answer and changes the device through the device list.
class OtaServer : public QObject
{
    Q_OBJECT
public:
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

    // What a device that asks for its next image has told and what the
    // server knows about it.
    struct DeviceQuery
    {
        bool inRun = false;        // a device update run is active
        bool checkPending = false; // it ended a transfer and has restarted since
        int progress = -1;         // per mille of the last transfer
        quint32 deviceVersion = kNoVersion;
        quint32 reportedVersion = kNoVersion;
        quint32 fileVersion = kNoVersion; // of the file held for its type
        int failCounter = 0;
        bool inUpdateList = false;
        bool updateListEmpty = true;
        bool wallTransmitter = false;
        // Whether a wall transmitter with an update is awake; asked only when it decides.
        std::function<bool()> wallTransmitterAwake;
    };

    // What the server does about it.
    struct QueryDecision
    {
        enum Check_t
        {
            eCheckNone,    // nothing to verify
            eCheckSuccess, // the offered image runs
            eCheckFailure, // it does not: one more failed attempt
        };
        enum Step_t
        {
            eStepNone,    // answer with the status: ask again later, or nothing for you
            eStepStart,   // start its update: it joins the update list
            eStepRestart, // it asked again in the middle of its transfer: offer once more
            eStepGiveUp,  // it asked again once too often: given up, off the list
        };
        Check_t check = eCheckNone;
        Step_t step = eStepNone;

        bool offers() const { return step == eStepStart || step == eStepRestart; }
    };

    static QueryDecision decideQuery(const DeviceQuery& _query);

    enum BlockVerdict_t
    {
        eBlockServe,
        eBlockForeignManufacturer,
        eBlockUnknownType,
        eBlockStickWrongState,
        eBlockDeviceWrongState,
        eBlockUnknownDevice,
        eBlockNotInList,
    };

    // Whether an Image Block request is served, and if not, why.
    static BlockVerdict_t decideBlock(quint16 _manufacturerCode, quint16 _imageType, bool _hasRecord,
                                      SystemServices::SysState_t _state, bool _deviceKnown, bool _inUpdateList);

    // What the stick's own Query Next Image does to its update.
    struct StickQueryDecision
    {
        int newState = eStickUpdateStateUnknown;
        bool offer = false;      // its image is offered (a stick update is transferring)
        bool updateOver = false; // it has restarted after its update: the system goes idle
    };
    static StickQueryDecision decideStickQuery(int _state, bool _hasRecord, bool _stillHasUpdate);

    explicit OtaServer(QObject* parent = nullptr);

    // The request handlers, each with the command's sequence number and the
    // whole indication payload.
    void ZclQueryNextImageReq(unsigned char _seq, const QByteArray _payload);
    void ZclImageBlockReq(unsigned char _seq, const QByteArray _payload);
    void ZclUpgradeEndReq(unsigned char _seq, const QByteArray _payload);

    // A device update run: start (true) or abort (false).
    void startDeviceUpdate(bool _start);
    void startStickUpdate();
    // The update index or the backup file announces stick firmware (device type 6).
    void setStickUpdateInfo(unsigned int _version, QString _fileName);
    bool isStickUpdateAvailable() const;
    // The stick announced itself; _stickUpdateRunning: the system is in a stick update.
    void stickConnected(bool _stickUpdateRunning);
    // The link is up; outside a stick update the stick's update state is idle.
    void linkUp(bool _stickUpdateRunning);

    int stickUpdateState() const { return m_eStickUpdateState; }
    const FirmwareUpdate& stickFirmware() const { return m_stickFirmware; }

    // The update list: short addresses of the devices whose transfer runs.
    const QList<ushort>& updateList() const { return m_updateList; }
    void addToUpdateList(ushort _shortAddr) { m_updateList.append(_shortAddr); }
    bool isInUpdateList(ushort _shortAddr) const { return m_updateList.contains(_shortAddr); }
    void removeFromUpdateList(ushort _shortAddr) { m_updateList.removeOne(_shortAddr); }
    void clearUpdateList() { m_updateList.clear(); }

signals:
    // A response for the stick to relay: the payload of the reply to the
    // command with sequence number _seq.
    void reply(unsigned char _seq, QByteArray _payload);
    // The stick's version, update state or progress changed.
    void stickVersionAvailable();
    void stickTextChanged();
    void helpUpdateRequired();

private:
    void ZclQueryNextImageReq_Stick(unsigned char _seq, const _IsdCommandIndication_t* _ind,
                                    const _ZCL_OtauQueryNextImageReq_t* _req);
    void ZclQueryNextImageReq_Device(unsigned char _seq, const _IsdCommandIndication_t* _ind,
                                     const _ZCL_OtauQueryNextImageReq_t* _req, ZigBeeDevice* _device);
    // Acts on a decision for a device during a run; the offer (start or
    // restart) is made by the caller.
    void applyQueryDecision(const QueryDecision& _decision, ushort _address, quint32 _reportedVersion);
    void offerImage(unsigned char _seq, const _IsdCommandIndication_t* _ind, _ZCL_OtauQueryNextImageResp_t& _resp,
                    const FirmwareUpdate& _record);
    void serveBlock(unsigned char _seq, const _IsdCommandIndication_t& _ind, const _ZCL_OtauImageBlockReq_t& _req,
                    FirmwareUpdate& _record);
    void sendZclQueryNextImageResp(unsigned char _seq, const _IsdCommandIndication_t* _ind,
                                   const _ZCL_OtauQueryNextImageResp_t& _resp);
    void sendZclImageBlockResp(unsigned char _seq, const _IsdCommandIndication_t* _ind,
                               const _ZCL_OtauImageBlockResp_t& _resp, QByteArray _data);
    void sendZclUpdateEndResp(unsigned char _seq, const _IsdCommandIndication_t* _ind,
                              const _ZCL_OtauUpgradeEndResp_t& _resp);

    // Reads the indication header and the request after it; a short payload
    // is logged under _what and gets no reply.
    template <typename Request>
    static bool readRequest(const char* _what, const QByteArray& _payload, _IsdCommandIndication_t& _ind,
                            Request& _req);
    void checkUpdateStop();
    void setStickUpdateState(int _state);
    ZigBeeDeviceModel* deviceModel() const;
    SystemServices::SysState_t sysState() const;
    void setSysState(SystemServices::SysState_t _state);

    FirmwareUpdate m_stickFirmware;
    quint32 m_stickUpdateVersion = kNoVersion;
    QString m_stickUpdateFileName;
    int m_eStickUpdateState = eStickUpdateStateUnknown;
    QList<ushort> m_updateList;
};
