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
// Every reply must be well formed, every image block must hold exactly the
// bytes of the served file at the requested offset, every offered image size
// must be the file's size, and the run must keep its bookkeeping in range.
// A fresh bridge per input keeps inputs independent.

#include <cstddef>
#include <cstdint>
#include <memory>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QSettings>

#include "FuzzEnvironment.h"
#include "bridge/CProg2Gui.h"
#include "common/FirmwareUpdate.h"
#include "common/settings.h"
#include "content/FirmwareUpdateFileModel.h"
#include "devices/ZigBeeDeviceModel.h"
#include "link/OtaRecords.h"
#include "link/StickInterface.h"

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
QMap<quint16, QByteArray> s_imageBytes;
QByteArray s_backupIni;

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
    const QByteArray response = _body.mid(kResponseOffset);
    const quint8 status = readU8(response, 0);
    const quint16 imageType = readU16(response, 3);
    switch (responseId) {
    case QueryNextImageRespId:
        FUZZ_CHECK(response.size() == _ZCL_OtauQueryNextImageResp_t::kSize);
        if (status == ZclSuccessStatus && imageType != kStickImageType) {
            // A device is only ever offered a file it can be served.
            FUZZ_CHECK(s_imageBytes.contains(imageType));
            FUZZ_CHECK(readU32(response, 9) == quint32(s_imageBytes.value(imageType).size()));
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
        // Served bytes are the file's bytes, nothing else (none past its end).
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

void checkBookkeeping(CProg2Gui& _bridge)
{
    StickInterface* stick = _bridge.stickInterface();
    // Only one device is updated at a time.
    FUZZ_CHECK(stick->otaServer().updateList().size() <= 1);
    const int stickProgress = stick->stickFirmware().m_progress;
    FUZZ_CHECK(stickProgress >= -1 && stickProgress <= 1000);
    const ZigBeeDeviceModel* model = _bridge.deviceModel();
    for (int row = 0; row < model->rowCount(); ++row) {
        const int progress = model->get(row).value("progress").toInt();
        FUZZ_CHECK(progress >= -1 && progress <= 1000);
    }
    const int combined = _bridge.iGetVal(CProg2Gui::DeviceCombinedProgressPercent_ValId);
    FUZZ_CHECK(combined >= 0 && combined <= 1000);
    // The texts the window reads after every repaint.
    for (const CProg2Gui::ValId_t id :
         {CProg2Gui::StickVersionTxt_ValId, CProg2Gui::StickConnectStateTxt_ValId,
          CProg2Gui::ConnectedNetworkStatus_ValId, CProg2Gui::DeviceCombinedProgressText_ValId,
          CProg2Gui::DeviceCountTxt_ValId, CProg2Gui::HelpBoxTxt_ValId})
        _bridge.getText(id);
}

void runAction(CProg2Gui& _bridge, quint8 _action)
{
    switch (_action % 5) {
    case 0:
        _bridge.qmlAction(CProg2Gui::StartDeviceUpdate_QmlAction);
        break;
    case 1:
        _bridge.qmlAction(CProg2Gui::AbortDeviceUpdate_QmlAction);
        break;
    case 2:
        _bridge.qmlAction(CProg2Gui::DoStickUpdate_QmlAction);
        break;
    case 3:
        _bridge.qmlAction(CProg2Gui::ResetToFN_QmlAction);
        break;
    default:
        FuzzEnvironment::processEvents();
        break;
    }
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* _argc, char*** _argv)
{
    FuzzEnvironment::init(_argc, _argv);
    const QString folder = FuzzEnvironment::scratchDir() + "/stick";
    s_settings = FuzzEnvironment::installSettings(folder);
    // No serial port is ever opened: frames sent are dropped quietly.
    s_settings->setValue("serial/ports", folder + "/no-such-port");
    applDirPath = folder + "/app";
    if (!QDir().mkpath(applDirPath) || !QDir().mkpath(getUpdatePath()))
        FuzzEnvironment::fail("cannot create the update folder");

    QStringList known;
    for (const Image& image : kImages) {
        const QByteArray bytes = imageBytes(image.devType, image.size);
        if (!FuzzEnvironment::writeFile(getUpdatePath() + "/" + image.fileName, bytes))
            FuzzEnvironment::fail("cannot write an image");
        s_imageBytes.insert(image.devType, bytes);
        const QString group = QString::number(image.devType);
        known << group;
        s_backupIni += QString("[%1]\nid=%1\nver=2.0.0\nfile=%2\nduration=300\n\n").arg(group, image.fileName).toUtf8();
    }
    s_backupIni += "[devices]\nknown_devices=" + known.join(", ").toUtf8() + "\nkeep_old=false\n";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* _data, size_t _size)
{
    // The average durations written back by the last input are forgotten.
    if (!FuzzEnvironment::writeFile(getUpdatePath() + "/backup.ini", s_backupIni))
        FuzzEnvironment::fail("cannot write backup.ini");

    FuzzInput input(_data, _size);
    const quint8 mode = input.byte();

    auto bridge = std::make_unique<CProg2Gui>();
    StickInterface* stick = bridge->stickInterface();
    ZigBeeDeviceModel* model = bridge->deviceModel();
    QObject::connect(stick, &StickInterface::frameSent, [](const QByteArray& _body) { checkSentFrame(_body); });

    if (mode & 0x04)
        bridge->timeoutUpdateXml();
    stick->rxFrame(QByteArray(1, char(StickInterface::ConnectRequest)));
    switch (mode & 0x03) {
    case 1:
        bridge->qmlAction(CProg2Gui::StartDeviceUpdate_QmlAction);
        break;
    case 2:
        bridge->qmlAction(CProg2Gui::DoStickUpdate_QmlAction);
        break;
    default:
        break;
    }

    while (!input.atEnd()) {
        const quint8 length = input.byte();
        if (length == 0xFE)
            runAction(*bridge, input.byte());
        else if (length == 0xFF)
            model->supervise(QDateTime::currentDateTimeUtc().addSecs(input.u16()));
        else
            stick->rxFrame(input.bytes(length));
        checkBookkeeping(*bridge);
    }

    bridge.reset();
    FuzzEnvironment::processEvents();
    return 0;
}
