#include "dialogs/VideoPaths.h"

QString g_strVideoPath[4];
