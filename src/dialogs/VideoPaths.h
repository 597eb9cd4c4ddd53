#pragma once
// The file path of each channel (index 0 to 3 = pane 1 to 4). A non-empty path is the
// program-wide sign that the channel is open. Written by the file selection dialog, the stop
// command and the synchronisation timer; read everywhere else.
#include <QString>

extern QString g_strVideoPath[4];
