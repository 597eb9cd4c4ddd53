#include "settings/CSettings.h"

CSettings g_settings;
