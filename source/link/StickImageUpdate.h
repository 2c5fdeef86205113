#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>

#include "RunPolicy.h"
#include "common/FirmwareUpdate.h"
#include "common/common.h"

class FirmwareCatalog;
class RunState;

// The stick's own firmware update, from the OTA server's side: its state,
// the stick's firmware record, which address speaks for the stick and the
// watchdog that ends an update the stick has fallen silent in. The OTA
// server owns it and hands it the stick's requests; the server keeps the
// wire, the files and the offers, of which it withdraws the stick's.
class StickImageUpdate : public QObject
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

    // A stick update fails when the stick's own requests stop for this long
    // after its transfer started: it restarts once it has its image, and
    // may take a minute or two to join the USB bus and the network again.
    static constexpr int kSilenceLimitMs = 5 * 60 * 1000;

    // _offers: the OTA server's offers by client address, the stick's among them.
    StickImageUpdate(const FirmwareCatalog& _catalog, RunState& _runState, QHash<ushort, RunPolicy::Offer>& _offers,
                     QObject* parent = nullptr);

    void start();
    // The user cancels the stick update: it ends, neither failed nor done.
    void abort();
    void fail(const QString& _why);

    // The update index or the backup file announces stick firmware (device type 6).
    void setUpdateInfo(unsigned int _version, QString _fileName);
    bool isUpdateAvailable() const;
    // The stick announced itself; _stickUpdateRunning: the system is in a stick update.
    void stickConnected(bool _stickUpdateRunning);
    // The link is up; outside a stick update the stick's update state is idle.
    void linkUp(bool _stickUpdateRunning);
    // The stick's network status: while it is joined, its short address is
    // the one address that speaks for it.
    void setNetwork(bool _joined, quint16 _shortAddr);
    // The stick went on with its update (an OTA request of its own) or
    // restarted (a connect request): a stick update is not silent.
    void heard();
    // Whether _address speaks for the stick; while the stick is not joined,
    // the first address that asks during a stick update becomes its address.
    bool isStickAddress(ushort _address);

    // The stick's Query Next Image, reporting _version: the record whose
    // image is to be offered, or null when the update moves on without one.
    const FirmwareUpdate* query(quint32 _version);
    // _perMille of the stick's image has been served.
    void setProgress(int _perMille);
    // The stick at _address ended its transfer with _status.
    void upgradeEnd(ushort _address, quint8 _status);

    // How long a stick update waits for the stick (kSilenceLimitMs unless set otherwise).
    void setSilenceLimit(int _milliseconds) { m_watchdog.setInterval(_milliseconds); }

    int state() const { return m_eState; }
    const FirmwareUpdate& firmware() const { return m_firmware; }

signals:
    // The stick's version, update state or progress changed.
    void stickVersionAvailable();
    void stickTextChanged();
    void helpUpdateRequired();

private:
    void end(int _state);
    void setState(int _state);

    const FirmwareCatalog& m_catalog;
    RunState& m_runState;
    QHash<ushort, RunPolicy::Offer>& m_offers;

    FirmwareUpdate m_firmware;
    quint32 m_updateVersion = kNoVersion;
    QString m_updateFileName;
    int m_eState = eStickUpdateStateUnknown;
    bool m_joined = false;
    quint16 m_shortAddr = 0;
    // The address that took a stick update while the stick is in no network.
    int m_claim = -1;
    QTimer m_watchdog;
};
