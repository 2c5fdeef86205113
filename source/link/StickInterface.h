#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>

#include "common/FirmwareUpdate.h"

class CProg2Gui;

// The tool's side of the stick protocol and the OTA Upgrade server; it also
// keeps what the window shows about the stick.
class StickInterface : public QObject
{
    Q_OBJECT
public:
    explicit StickInterface(QObject* parent);

    // The update index or the backup file announces stick firmware (device type 6).
    void setStickUpdateInfo(unsigned int _version, QString _fileName);
    const FirmwareUpdate& stickFirmware() const { return m_stickFirmware; }
    quint16 stickDevType() const { return m_stickDevType; }
    void setStickDevType(quint16 _devType) { m_stickDevType = _devType; }

    // The update list: short addresses of the devices whose transfer runs.
    QList<ushort>& updateList() { return m_updateList; }

signals:
    void textChanged(int _txtId);
    void stickVersionAvailable();
    void helpUpdateRequired();
    void deviceDataRepaint();

public slots:
    void textChangeSlot(int _txtId);

private:
    void init();

    FirmwareUpdate m_stickFirmware;
    quint32 m_stickUpdateVersion = kNoVersion;
    QString m_stickUpdateFileName;
    int m_eStickUpdateState = 0;
    quint16 m_stickDevType = 0xFFFF;
    CProg2Gui* m_gui = nullptr;
    QList<ushort> m_updateList;
};
