#include "RunPolicy.h"

#include "OtaRecords.h"
#include "StickImageUpdate.h"
#include "common/DeviceType.h"
#include "common/ProgressHelper.h"

using namespace OtaRecords;

RunPolicy::QueryDecision RunPolicy::decideQuery(const DeviceQuery& _query)
{
    QueryDecision decision;
    if (!_query.inRun)
        return decision;
    // A device that asks for another type than its record's gets nothing;
    // each such request is a failed attempt, so that it cannot hold the run
    // (or, as a wall transmitter, every other device) for ever.
    if (!_query.typeMatches) {
        if (_query.failCounter < ProgressHelper::kMaxFailures)
            decision.step = QueryDecision::eStepWrongType;
        return decision;
    }

    int failCounter = _query.failCounter;
    if (_query.checkPending) {
        // The device ended its transfer and restarted: does it run the offered image?
        const bool success = _query.progress == 1000 && _query.fileVersion == _query.reportedVersion;
        decision.check = success ? QueryDecision::eCheckSuccess : QueryDecision::eCheckFailure;
        if (!success)
            ++failCounter;
    }

    // Only a file newer than the version the device reports in this very
    // request is offered: what it ran before does not matter.
    const bool newer = _query.fileVersion != kNoVersion && _query.fileVersion > _query.reportedVersion;
    if (_query.inUpdateList) {
        // Asked again in the middle of its transfer, e.g. after a restart.
        if (!newer)
            decision.step = QueryDecision::eStepLeave;
        else
            decision.step = failCounter + 1 < ProgressHelper::kMaxFailures ? QueryDecision::eStepRestart
                                                                           : QueryDecision::eStepGiveUp;
    } else if (newer && failCounter < ProgressHelper::kMaxFailures && _query.updateListEmpty &&
               (_query.wallTransmitter || !(_query.wallTransmitterAwake && _query.wallTransmitterAwake()))) {
        decision.step = QueryDecision::eStepStart;
    }
    return decision;
}

RunPolicy::BlockVerdict_t RunPolicy::decideBlock(const BlockRequest& _request)
{
    if (_request.manufacturerCode != kManufacturerCode)
        return eBlockForeignManufacturer;
    if (!_request.hasRecord)
        return eBlockUnknownType;
    if (DeviceType::isStick(_request.imageType)) {
        // The stick is not a row of the device list; the system state and its address decide.
        if (_request.state != SystemServices::SysStateStickUpdate)
            return eBlockStickWrongState;
        if (!_request.fromStick)
            return eBlockNotTheStick;
    } else {
        if (_request.state != SystemServices::SysStateDeviceUpdate)
            return eBlockDeviceWrongState;
        if (!_request.deviceKnown)
            return eBlockUnknownDevice;
        if (!_request.inUpdateList)
            return eBlockNotInList;
    }
    // Only what was offered, as it was offered.
    if (!_request.offer ||
        !_request.offer->matches(_request.manufacturerCode, _request.imageType, _request.fileVersion))
        return eBlockNotOffered;
    return eBlockServe;
}

RunPolicy::StickQueryDecision RunPolicy::decideStickQuery(int _state, bool _hasRecord, bool _recordNewer,
                                                          bool _stillHasUpdate)
{
    StickQueryDecision decision;
    decision.newState = _state;
    switch (_state) {
    case StickImageUpdate::eStickUpdateStateTransfer:
        // Only a file newer than the version the stick reports now is
        // offered; a stick that runs it or a newer one already is done.
        if (_hasRecord && _recordNewer) {
            decision.offer = true;
        } else if (_hasRecord) {
            decision.newState = StickImageUpdate::eStickUpdateStateUpToDate;
            decision.updateOver = true;
        }
        break;
    case StickImageUpdate::eStickUpdateStateWait:
        decision.newState =
            _stillHasUpdate ? StickImageUpdate::eStickUpdateStateFail : StickImageUpdate::eStickUpdateStateSuccess;
        decision.updateOver = true;
        break;
    case StickImageUpdate::eStickUpdateStateUnknown:
    case StickImageUpdate::eStickUpdateStateIdle:
        if (!_stillHasUpdate)
            decision.newState = StickImageUpdate::eStickUpdateStateUpToDate;
        break;
    default:
        break;
    }
    return decision;
}

ZigBeeDevice::eClientState_t RunPolicy::clientStateAfterQuery(quint8 _status)
{
    switch (_status) {
    case ZclSuccessStatus:
        return ZigBeeDevice::eClientStatePrepareUpdate;
    case ZclAbortStatus:
        return ZigBeeDevice::eClientStateWaitForUpdateInfo;
    case ZclNoImageAvailableStatus:
        return ZigBeeDevice::eClientStateNoImageAvailable;
    default:
        return ZigBeeDevice::eClientStateUnknown;
    }
}

ZigBeeDevice::eClientState_t RunPolicy::clientStateAfterBlock(quint8 _status)
{
    switch (_status) {
    case ZclSuccessStatus:
        return ZigBeeDevice::eClientStateLoadData;
    case ZclAbortStatus:
        return ZigBeeDevice::eClientStateAbortUpdate;
    default:
        return ZigBeeDevice::eClientStateUnknown;
    }
}
