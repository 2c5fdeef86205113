#include "log.h"

Q_LOGGING_CATEGORY(lcApp, "lumoran.app")
Q_LOGGING_CATEGORY(lcCommon, "lumoran.common")
Q_LOGGING_CATEGORY(lcLink, "lumoran.link")
Q_LOGGING_CATEGORY(lcOta, "lumoran.ota")
Q_LOGGING_CATEGORY(lcDevices, "lumoran.devices")
Q_LOGGING_CATEGORY(lcContent, "lumoran.content")
Q_LOGGING_CATEGORY(lcBridge, "lumoran.bridge")
