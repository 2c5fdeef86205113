#include "DocumentOpener.h"

#include <QDesktopServices>
#include <QUrl>

#include "common/log.h"

DocumentOpener::OpenFunction DocumentOpener::s_openFunction;

bool DocumentOpener::open(const QUrl& _url)
{
    const bool opened = s_openFunction ? s_openFunction(_url) : QDesktopServices::openUrl(_url);
    if (!opened)
        LOG(lcBridge, QString("no program opened '%1'").arg(_url.toString()));
    return opened;
}

void DocumentOpener::setOpenFunction(OpenFunction _function)
{
    s_openFunction = std::move(_function);
}
