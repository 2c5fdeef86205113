#pragma once

#include <functional>

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>

#include "OtaRecords.h"
#include "RunPolicy.h"
#include "StickImageUpdate.h"
#include "common/SystemServices.h"

class FirmwareCatalog;
class RunState;
class ZigBeeDevice;
class ZigBeeDeviceModel;

// The server side of the ZCL OTA Upgrade cluster, for every device of the
// network and for the stick itself. It decides per request whether an image
// is offered, serves the image block by block from the firmware file of the
// client's device type and keeps the bookkeeping of a run as RunPolicy
// decides it: one device at a time, battery-powered devices first, three
// attempts at most. The stick's own update (its state, its firmware record,
// its address and its watchdog) is the StickImageUpdate it owns.
//
// A client gets blocks only of what it was offered, and only the stick's own
// address speaks for the stick. Each request handler first decides what to
// answer (a pure function of RunPolicy, of the request, the device and the
// state) and then acts on it: sends the answer and changes the device through the
// device list.
class OtaServer : public QObject
{
    Q_OBJECT
public:
    // The run policy's records and decisions, under the names the server's
    // handlers use.
    using Offer = RunPolicy::Offer;
    using DeviceQuery = RunPolicy::DeviceQuery;
    using QueryDecision = RunPolicy::QueryDecision;
    using BlockVerdict_t = RunPolicy::BlockVerdict_t;
    using BlockRequest = RunPolicy::BlockRequest;

    // _catalog: the firmware files served; _devices: the device list it
    // updates; _runState: the run it serves, and its end.
    OtaServer(FirmwareCatalog& _catalog, ZigBeeDeviceModel& _devices, RunState& _runState, QObject* parent = nullptr);

    // The request handlers, each with the command's sequence number and the
    // whole indication payload.
    void ZclQueryNextImageReq(unsigned char _seq, const QByteArray _payload);
    void ZclImageBlockReq(unsigned char _seq, const QByteArray _payload);
    void ZclUpgradeEndReq(unsigned char _seq, const QByteArray _payload);

    // A device update run: start (true) or abort (false).
    void startDeviceUpdate(bool _start);
    // The devices heard so far are gone (another network, or the stick
    // leaves its network): so are the update list and every offer to a device.
    void forgetDevices();

    StickImageUpdate& stickUpdate() { return m_stickUpdate; }
    const StickImageUpdate& stickUpdate() const { return m_stickUpdate; }

    // The update list: short addresses of the devices whose transfer runs.
    const QList<ushort>& updateList() const { return m_updateList; }
    void addToUpdateList(ushort _shortAddr) { m_updateList.append(_shortAddr); }
    bool isInUpdateList(ushort _shortAddr) const { return m_updateList.contains(_shortAddr); }
    void removeFromUpdateList(ushort _shortAddr);
    void clearUpdateList();

signals:
    // A response for the stick to relay: the payload of the reply to the
    // command with sequence number _seq.
    void reply(unsigned char _seq, QByteArray _payload);
    // The stick's version, update state or progress changed (passed on from its StickImageUpdate).
    void stickVersionAvailable();
    void stickTextChanged();
    void helpUpdateRequired();
    // A device's transfer took _seconds (a plausible time, or -1): its file's
    // average transfer time takes it in.
    void durationMeasured(quint16 _devType, int _seconds);

private:
    void deviceTimedOut(ushort _shortAddr);
    const FirmwareUpdate* recordOf(quint16 _devType) const;
    bool isUpdatePossible(quint16 _devType, quint32 _version) const;
    void ZclQueryNextImageReq_Stick(unsigned char _seq, const _IsdCommandIndication_t* _ind,
                                    const _ZCL_OtauQueryNextImageReq_t* _req);
    // What a device's Query Next Image and its record tell the run policy.
    DeviceQuery queryOf(const _ZCL_OtauQueryNextImageReq_t& _req, const ZigBeeDevice& _device) const;
    void ZclQueryNextImageReq_Device(unsigned char _seq, const _IsdCommandIndication_t* _ind,
                                     const _ZCL_OtauQueryNextImageReq_t* _req, ZigBeeDevice* _device);
    // Acts on a decision for a device during a run; the offer (start or
    // restart) is made by the caller.
    void applyQueryDecision(const QueryDecision& _decision, ushort _address, quint32 _reportedVersion,
                            quint32 _storedVersion, quint16 _imageType);
    void offerImage(unsigned char _seq, const _IsdCommandIndication_t* _ind, _ZCL_OtauQueryNextImageResp_t& _resp,
                    const FirmwareUpdate& _record);
    // Offers _address the image of _record in _resp and records what its
    // blocks must ask for; false, with "no image" in _resp, when the image
    // cannot be served.
    bool makeOffer(ushort _address, _ZCL_OtauQueryNextImageResp_t& _resp, const FirmwareUpdate& _record);
    static void logRefusal(BlockVerdict_t _verdict, const _IsdCommandIndication_t& _ind,
                           const _ZCL_OtauImageBlockReq_t& _req);
    void serveBlock(unsigned char _seq, const _IsdCommandIndication_t& _ind, const _ZCL_OtauImageBlockReq_t& _req,
                    const FirmwareUpdate& _record);
    void recordServed(ushort _address, Offer& _offer, quint32 _offset, int _bytes, const FirmwareUpdate& _record);
    void deviceUpgradeEnd(ushort _address, quint8 _status);
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
    ZigBeeDeviceModel* deviceModel() const;
    SystemServices::SysState_t sysState() const;

    FirmwareCatalog& m_catalog;
    ZigBeeDeviceModel& m_devices;
    RunState& m_runState;

    QList<ushort> m_updateList;
    // What each client in a transfer was offered, by short address.
    QHash<ushort, Offer> m_offers;
    StickImageUpdate m_stickUpdate;
};
