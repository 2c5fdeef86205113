#include "FirmwareUpdate.h"

#include <QSettings>

#include "log.h"
#include "settings.h"

FirmwareUpdate::FirmwareUpdate(quint16 _devType, const QString& _versionText)
{
    m_devType = _devType;
    setVersion(parseVersion(_versionText));
}

void FirmwareUpdate::updateDuration(int _seconds)
{
    if (_seconds < 0)
        return; // no valid measurement
    // In 64 bits: the stored average comes from backup.ini and may be any int;
    // the weighted mean of ints always fits an int again.
    m_duration = int((qint64(_seconds) + 2 * qint64(m_duration) + 2) / 3);
    QSettings backup(getUpdatePath() + "/backup.ini", QSettings::IniFormat);
    backup.setValue(QString("%1/duration").arg(m_devType), m_duration);
    backup.sync();
    if (backup.status() != QSettings::NoError)
        LOG(lcCommon, QString("can not write '%1'").arg(backup.fileName()));
}
