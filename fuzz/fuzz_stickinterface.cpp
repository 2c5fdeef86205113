// The stick protocol and the OTA Upgrade server: arbitrary frame bodies from
// the stick after its connect request, with a firmware row per device type
// whose images lie in the update folder, in every system state.
//
// Input: one mode byte, then items until the end:
//   length byte n below 0xFE, then n bytes: one frame body for rxFrame
//   0xFE, action byte: a user action (start or abort a device update, start
//        the stick update, reset to factory new) or the event loop
//   0xFF, two bytes s: the device list's supervision step s seconds from now
// Mode bits 0-1 pick the system state to start in (idle, device update,
// stick update); bit 2 marks the update index as answered, so that offers
// are judged by the firmware rows instead of "ask again later".
//
// Every reply must be well formed; a client gets blocks only of the image
// it was offered, each holding exactly the bytes of that file at the
// requested offset; every offered image size is the file's size; at most one
// device is in the update list; a request for the stick's image type from an
// address that is not the stick's changes nothing of the stick; the run keeps
// its bookkeeping in range. The images are written once; the tool's core
// (file list, device list, stick interface) is made anew for every input, so
// that inputs stay independent.

#include <cstddef>
#include <cstdint>
#include <memory>

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QSettings>

#include "FuzzEnvironment.h"
#include "bridge/HelpTexts.h"
#include "common/DeviceType.h"
#include "common/FirmwareUpdate.h"
#include "common/settings.h"
#include "content/FirmwareUpdateFileModel.h"
#include "devices/ZigBeeDeviceModel.h"
#include "link/CSerialPortHandler.h"
#include "link/OtaRecords.h"
#include "link/StickInterface.h"
#include "support/FakeServices.h"

using namespace OtaRecords;

namespace {
struct Image
{
    quint16 devType;
    const char* fileName;
    int size;
};

// Type 4's file is empty: its updates end in the missing-file branch.
const Image kImages[] = {
    {1, "control_2.0.0.ota", 1000},
    {2, "wall_2.0.0.ota", 333},
    {4, "plug_2.0.0.ota", 0},
    {6, "stick_2.0.0.ota", 1000},
};

std::unique_ptr<QSettings> s_settings;
std::unique_ptr<FakeServices> s_services;
QMap<quint16, QByteArray> s_imageBytes;

// What was offered to each address in this input: image type and file version.
QMap<quint16, QPair<quint16, quint32>> s_offers;

QByteArray imageBytes(quint16 _devType, int _size)
{
    QByteArray bytes(_size, 0);
    for (int i = 0; i < _size; ++i)
        bytes[i] = char((i * 7 + _devType) % 251);
    return bytes;
}

// The reply to a ZCL indication: 04, seq, 10, 20-byte header, response.
constexpr int kResponseOffset = 3 + _IsdCommandResp_t::kSize;

void checkSentFrame(const QByteArray& _body)
{
    FUZZ_CHECK(!_body.isEmpty());
    const quint8 type = quint8(_body.at(0));
    if (type == StickInterface::ConnectAccept) {
        FUZZ_CHECK(_body.size() == 1);
        return;
    }
    FUZZ_CHECK(type == StickInterface::CommandReply);
    FUZZ_CHECK(_body.size() >= 2);
    if (_body.size() < kResponseOffset || quint8(_body.at(2)) != StickInterface::ZclIndication)
        return;

    const quint8 responseId = quint8(_body.at(kResponseOffset - 1));
    const quint16 destination = readU16(_body, 4);
    const QByteArray response = _body.mid(kResponseOffset);
    const quint8 status = readU8(response, 0);
    const quint16 imageType = readU16(response, 3);
    switch (responseId) {
    case QueryNextImageRespId:
        FUZZ_CHECK(response.size() == _ZCL_OtauQueryNextImageResp_t::kSize);
        if (status == ZclSuccessStatus) {
            // A client is only ever offered a file it can be served.
            FUZZ_CHECK(s_imageBytes.contains(imageType));
            FUZZ_CHECK(readU32(response, 9) == quint32(s_imageBytes.value(imageType).size()));
            s_offers.insert(destination, qMakePair(imageType, readU32(response, 5)));
        }
        break;
    case ImageBlockRespId: {
        FUZZ_CHECK(response.size() >= _ZCL_OtauImageBlockResp_t::kSize);
        const quint32 offset = readU32(response, 9);
        const int dataSize = readU8(response, 13);
        const QByteArray data = response.mid(_ZCL_OtauImageBlockResp_t::kSize);
        FUZZ_CHECK(data.size() == dataSize);
        FUZZ_CHECK(dataSize <= kMaxBlockSize);
        if (status != ZclSuccessStatus) {
            FUZZ_CHECK(dataSize == 0);
            break;
        }
        // Only what was offered to this address, and of that the file's
        // bytes, nothing else (none past its end).
        FUZZ_CHECK(s_offers.value(destination, qMakePair(quint16(0xFFFF), 0u)) ==
                   qMakePair(imageType, readU32(response, 5)));
        FUZZ_CHECK(s_imageBytes.contains(imageType));
        const QByteArray file = s_imageBytes.value(imageType);
        FUZZ_CHECK(data == (offset < quint32(file.size()) ? file.mid(int(offset), dataSize) : QByteArray()));
        break;
    }
    case UpgradeEndRespId:
        FUZZ_CHECK(response.size() == _ZCL_OtauUpgradeEndResp_t::kSize);
        break;
    default:
        FUZZ_CHECK(false && "unexpected response id");
    }
}

void checkBookkeeping()
{
    StickInterface* stick = s_services->stick();
    // Only one device is updated at a time.
    FUZZ_CHECK(stick->otaServer().updateList().size() <= 1);
    const int stickProgress = stick->stickFirmware().m_progress;
    FUZZ_CHECK(stickProgress >= -1 && stickProgress <= 1000);
    const ZigBeeDeviceModel* model = s_services->deviceModel();
    for (int row = 0; row < model->rowCount(); ++row) {
        const int progress = model->data(model->index(row), ZigBeeDeviceModel::ProgressRole).toInt();
        FUZZ_CHECK(progress >= -1 && progress <= 1000);
    }
    const int combined = model->progressPerMille();
    FUZZ_CHECK(combined >= 0 && combined <= 1000);
}

// The texts the window reads after a repaint; building them is most of the
// cost of a step, so they are read every few steps and at the end.
void readTexts()
{
    StickInterface* stick = s_services->stick();
    const ZigBeeDeviceModel* model = s_services->deviceModel();
    for (const int id : {StickInterface::StickVersionTxt, StickInterface::StickConnectStateTxt,
                         StickInterface::ConnectedNetworkStatusTxt, StickInterface::StickUpdateDoneImg})
        stick->getText(id);
    model->progressText();
    model->deviceCountText();
    HelpTexts::text(HelpTexts::helpIdFor(s_services->SysState(), true, stick->nwkState()));
}

void runAction(quint8 _action)
{
    StickInterface* stick = s_services->stick();
    switch (_action % 5) {
    case 0:
        stick->startDeviceUpdate(true);
        break;
    case 1:
        // Cancel: whichever update runs.
        if (s_services->isSysState(SystemServices::SysStateStickUpdate))
            stick->otaServer().stickUpdate().abort();
        else
            stick->startDeviceUpdate(false);
        break;
    case 2:
        stick->startStickUpdate();
        break;
    case 3:
        stick->requestResetToFN();
        break;
    default:
        FuzzEnvironment::processEvents();
        break;
    }
}

// What of the stick a request may change.
struct StickSnapshot
{
    int state;
    int progress;
    QString version;
    bool operator==(const StickSnapshot& _other) const
    {
        return state == _other.state && progress == _other.progress && version == _other.version;
    }
};

StickSnapshot stickSnapshot()
{
    const StickInterface* stick = s_services->stick();
    return {stick->stickUpdateState(), stick->stickFirmware().m_progress, stick->stickFirmware().versionString()};
}

// The sender of a ZCL indication asking for the stick's image type, or -1.
int stickImageRequester(const QByteArray& _frame)
{
    if (_frame.size() < 3 + _IsdCommandIndication_t::kSize + 5 ||
        quint8(_frame.at(0)) != StickInterface::CommandRequest || quint8(_frame.at(2)) != StickInterface::ZclIndication)
        return -1;
    const QByteArray payload = _frame.mid(3);
    const quint8 commandId = readU8(payload, _IsdCommandIndication_t::kSize - 1);
    // Query Next Image and Image Block carry the image type at 3, Upgrade End at 3 as well.
    if (commandId != QueryNextImageReqId && commandId != ImageBlockReqId && commandId != UpgradeEndReqId)
        return -1;
    if (!DeviceType::isStick(readU16(payload, _IsdCommandIndication_t::kSize + 3)))
        return -1;
    return readU16(payload, 1);
}

void feedFrame(const QByteArray& _frame)
{
    StickInterface* stick = s_services->stick();
    // While the stick is joined, the address of its network status speaks for it.
    const int requester = stickImageRequester(_frame);
    const bool foreign =
        requester >= 0 && stick->nwkState() == StickInterface::eNwkStateJoined && requester != stick->nwkShortAddr();
    const StickSnapshot before = stickSnapshot();
    stick->rxFrame(_frame);
    if (foreign)
        FUZZ_CHECK(stickSnapshot() == before);
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* _argc, char*** _argv)
{
    FuzzEnvironment::init(_argc, _argv);
    const QString folder = FuzzEnvironment::scratchDir() + "/stick";
    s_settings = FuzzEnvironment::installSettings(folder);
    // No serial port is ever searched: frames sent are dropped quietly.
    CSerialPortHandler::setPortListFunction([] { return QStringList(); });
    applDirPath = folder + "/app";
    if (!QDir().mkpath(applDirPath) || !QDir().mkpath(getUpdatePath()))
        FuzzEnvironment::fail("cannot create the update folder");

    for (const Image& image : kImages) {
        const QByteArray bytes = imageBytes(image.devType, image.size);
        if (!FuzzEnvironment::writeFile(getUpdatePath() + "/" + image.fileName, bytes))
            FuzzEnvironment::fail("cannot write an image");
        s_imageBytes.insert(image.devType, bytes);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* _data, size_t _size)
{
    FuzzInput input(_data, _size);
    const quint8 mode = input.byte();

    // A fresh core for every input: the averages a served image changes and
    // whatever the last input left in the lists are forgotten.
    s_services.reset();
    s_services = std::make_unique<FakeServices>();
    for (const Image& image : kImages) {
        const QByteArray& bytes = s_imageBytes[image.devType];
        s_services->files()->setKnownFile(
            image.devType, "2.0.0", image.fileName, 300,
            HeldFileDigest(bytes.size(), QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()));
    }
    s_offers.clear();
    StickInterface* stick = s_services->stick();
    QObject::connect(stick, &StickInterface::frameSent, [](const QByteArray& _body) { checkSentFrame(_body); });

    if (mode & 0x04)
        s_services->setUpdateXmlState(SystemServices::eUpdateXmlStateTimeout);
    stick->rxFrame(QByteArray(1, char(StickInterface::ConnectRequest)));
    switch (mode & 0x03) {
    case 1:
        stick->startDeviceUpdate(true);
        break;
    case 2:
        stick->startStickUpdate();
        break;
    default:
        break;
    }

    for (int step = 1; !input.atEnd(); ++step) {
        const quint8 length = input.byte();
        if (length == 0xFE)
            runAction(input.byte());
        else if (length == 0xFF)
            s_services->deviceModel()->supervise(QDateTime::currentDateTimeUtc().addSecs(input.u16()));
        else
            feedFrame(input.bytes(length));
        checkBookkeeping();
        if (step % 16 == 0)
            readTexts();
    }
    readTexts();
    return 0;
}
