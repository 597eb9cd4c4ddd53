#include "dialogs/GotoPosition.h"

double g_dSyncSecs = 0.0;
double g_dGotoSecs = 0.0;
QPointer<QWidget> g_hMainWnd;
