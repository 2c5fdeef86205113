#pragma once

#include <functional>

#include <QtGlobal>

#include "common/SystemServices.h"
#include "common/common.h"
#include "devices/ZigBeeDevice.h"

// The rules of an update run, as pure functions of what a request tells and
// what is known of its client: whether an image is offered, one device at a
// time, battery-powered devices (woken by the user) first, how many attempts
// a device has, which Image Block requests are served, what the stick's own
// query does to its update, and which client state (with its time-out)
// follows an answer. OtaServer asks them and acts on the answer.
class RunPolicy
{
public:
    // The image offered to one client in a Query Next Image Response; its
    // Image Block requests must ask for exactly this.
    struct Offer
    {
        quint16 manufacturerCode = 0;
        quint16 imageType = 0;
        quint32 fileVersion = 0;
        quint32 imageSize = 0;
        // Bytes served from the start without a gap: what the progress counts.
        quint32 servedEnd = 0;

        bool matches(quint16 _manufacturerCode, quint16 _imageType, quint32 _fileVersion) const
        {
            return _manufacturerCode == manufacturerCode && _imageType == imageType && _fileVersion == fileVersion;
        }
    };

    // What a device that asks for its next image has told and what the
    // server knows about it.
    struct DeviceQuery
    {
        bool inRun = false;                   // a device update run is active
        bool typeMatches = true;              // it asks for the image type of its record
        bool checkPending = false;            // it ended a transfer and has restarted since
        int progress = -1;                    // per mille of the last transfer
        quint32 reportedVersion = kNoVersion; // in this request
        quint32 fileVersion = kNoVersion;     // of the file held for its type
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
            eStepNone,      // answer with the status: ask again later, or nothing for you
            eStepStart,     // start its update: it joins the update list
            eStepRestart,   // it asked again in the middle of its transfer: offer once more
            eStepGiveUp,    // it asked again once too often: given up, off the list
            eStepLeave,     // it asked again in mid-transfer running the file or a newer one: off the list
            eStepWrongType, // it asked for another image type than its record's: one more failed attempt
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
        eBlockNotTheStick,
        eBlockDeviceWrongState,
        eBlockUnknownDevice,
        eBlockNotInList,
        eBlockNotOffered,
    };

    // An Image Block request as the server sees it.
    struct BlockRequest
    {
        quint16 manufacturerCode = 0;
        quint16 imageType = 0;
        quint32 fileVersion = 0;
        bool hasRecord = false;
        SystemServices::SysState_t state = SystemServices::SysStateInit;
        bool fromStick = false; // the stick's own address
        bool deviceKnown = false;
        bool inUpdateList = false;
        const Offer* offer = nullptr; // what this address was offered
    };

    // Whether an Image Block request is served, and if not, why.
    static BlockVerdict_t decideBlock(const BlockRequest& _request);

    // What the stick's own Query Next Image does to its update.
    struct StickQueryDecision
    {
        int newState = 0;        // a StickImageUpdate::eStickUpdateState_t
        bool offer = false;      // its image is offered (a stick update is transferring)
        bool updateOver = false; // it has restarted after its update: the system goes idle
    };
    // _recordNewer: the stick's record holds a newer version than the stick reports.
    static StickQueryDecision decideStickQuery(int _state, bool _hasRecord, bool _recordNewer, bool _stillHasUpdate);

    // The client state, and so the silence allowed, after a Query Next Image
    // Response or an Image Block Response with _status.
    static ZigBeeDevice::eClientState_t clientStateAfterQuery(quint8 _status);
    static ZigBeeDevice::eClientState_t clientStateAfterBlock(quint8 _status);
};
