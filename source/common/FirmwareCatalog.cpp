#include "FirmwareCatalog.h"

FirmwareCatalog* theFileModel = nullptr;
