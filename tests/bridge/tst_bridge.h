#pragma once

#include <QByteArray>
#include <QDir>
#include <QObject>
#include <QStringList>

#include "bridge/CProg2Gui.h"
#include "common/settings.h"
#include "link/CSerialPortHandler.h"
#include "link/StickInterface.h"
#include "support/StickFrames.h"
#include "support/TestSettings.h"

// The real bridge in fresh settings, with no serial port to search; frames go
// straight to its stick interface.
struct BridgeHarness
{
    BridgeHarness()
    {
        CSerialPortHandler::setPortListFunction([] { return QStringList(); });
        QDir().mkpath(getUpdatePath());
        bridge = new CProg2Gui;
        stick = bridge->stickInterface();
    }
    ~BridgeHarness()
    {
        delete bridge;
        CSerialPortHandler::setPortListFunction(nullptr);
    }
    void exchange(const QByteArray& _frame) { stick->rxFrame(_frame); }
    void connectStick() { exchange(QByteArray(1, char(0x01))); }

    TestSettings settings;
    CProg2Gui* bridge = nullptr;
    StickInterface* stick = nullptr;
};

// The stick's network status frame with _state, on channel 11.
inline QByteArray nwkStatus(quint8 _state)
{
    return StickFrames::networkStatus(1, _state, 11, 0x1122334455667788ULL, 0x0001);
}

class tst_Bridge : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    void metaObjectInterface();
    void firstStartWritesEverySetting_data();
    void firstStartWritesEverySetting();
    void laterStartKeepsUserValues();
    void refreshTriggers();

    void valueDispatch_data();
    void valueDispatch();
    void unknownIdsAndTexts();
    void highlightEmitsOncePerChange();
    void actions();

    void helpForEveryState_data();
    void helpForEveryState();
    void helpTexts();
    void serverStatusText_data();
    void serverStatusText();
};
