// Tetrav: four videos side by side, in step.
#include "app/CTetravApp.h"
#include "mainwnd/CAppOpenService.h"
#include "mainwnd/CMprisPlayer.h"
#include "mainwnd/CTetravDlg.h"
#include "platform/CDisplayWatchdog.h"
#include "platform/HeapRelease.h"

#include <gst/gst.h>

#include <QApplication>

#include <cstring>

int main(int argc, char** argv) {
    // The display watchdog is this same program started again; it needs no Qt at all.
    if (argc >= 2 && std::strcmp(argv[1], CDisplayWatchdog::kArgument) == 0) {
        return CDisplayWatchdog::RunChild(argc, argv);
    }
    CDisplayWatchdog::SetEnabled(true);
    ShareTwoHeaps();

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tetrav"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tetrav"));
    QApplication::setDesktopFileName(QStringLiteral("org.tetrav.Tetrav"));
    gst_init(&argc, &argv);

    CTetravApp tetrav([](const QStringList& files) {
        CTetravDlg dlg;
        dlg.SetCommandLineFiles(files);
        // The desktop's media controls and the door for a second copy's files (session bus only).
        (new CMprisPlayer(&dlg))->Register();
        (new CAppOpenService(&dlg))->Register();
        return dlg.DoModal();
    });
    tetrav.SetCommandLine(QApplication::arguments().mid(1));
    const int code = tetrav.Run();
    gst_deinit();
    return code;
}
