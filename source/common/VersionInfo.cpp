#include "VersionInfo.h"

QString VersionInfo::versionHtml(const QString& _colourCurrent, const QString& _colourUpdate) const
{
    const QString update = updateVersionString();
    if (hasUpdate() && !update.isEmpty())
        return versionChangeHtml(versionString(), _colourCurrent, update, _colourUpdate, "black", "");
    return versionPrefixed(versionString());
}
