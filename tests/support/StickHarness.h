#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include "FakeServices.h"
#include "TestSettings.h"

class FirmwareUpdateFileModel;
class StickInterface;
class ZigBeeDeviceModel;

// The tool's core (FakeServices) in fresh settings, with no serial port to
// search. Frames go in through rxFrame; every frame the stick interface
// sends is collected.
class StickHarness
{
public:
    StickHarness();
    ~StickHarness();

    // Hands one frame body to the stick interface; returns what it sent in reply.
    QList<QByteArray> exchange(const QByteArray& _frame);
    // The one reply to _frame, or an empty array when there was none or more than one.
    QByteArray reply(const QByteArray& _frame);
    void connectStick();

    // Writes an image of _size bytes (byte i = i * 7 mod 251) into the update
    // folder; every row of the file list that holds a file of that name takes
    // these bytes as verified.
    QString writeImage(const QString& _fileName, int _size);
    static QByteArray imageBytes(int _size);

    TestSettings settings;
    FakeServices* services = nullptr;
    StickInterface* stick = nullptr;
    ZigBeeDeviceModel* model = nullptr;
    FirmwareUpdateFileModel* files = nullptr;

private:
    QList<QByteArray> m_sent;
};
