#pragma once
// What the main window and the go-to dialog exchange: the reference position of the last
// synchronisation tick (the dialog starts from it), the target the dialog chose, and the main
// window, which receives WM_GOTO_POSITION (as a Qt event of type QEvent::User + 0x42D) and
// seeks every open channel before the dialog closes.
#include <QPointer>
#include <QWidget>

extern double g_dSyncSecs;
extern double g_dGotoSecs;
extern QPointer<QWidget> g_hMainWnd;
