#include "SystemServices.h"

SystemServices* theBridge = nullptr;
