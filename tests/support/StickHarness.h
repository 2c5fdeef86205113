#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include "TestSettings.h"
#include "bridge/CProg2Gui.h"

class StickInterface;
class ZigBeeDeviceModel;

// A bridge with its stick interface and device list in fresh settings, with
// no serial port to search. Frames go in through rxFrame; every frame the
// stick interface sends is collected.
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

    // Writes an image of _size bytes (byte i = i * 7 mod 251) into the update folder.
    QString writeImage(const QString& _fileName, int _size);
    static QByteArray imageBytes(int _size);

    TestSettings settings;
    CProg2Gui* bridge = nullptr;
    StickInterface* stick = nullptr;
    ZigBeeDeviceModel* model = nullptr;

private:
    QList<QByteArray> m_sent;
};
