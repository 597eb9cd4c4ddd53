// Tetrav: four videos side by side, in step.
#include "app/CAlignPrint.h"
#include "app/CCommandLine.h"
#include "app/CTetravApp.h"
#include "app/QtTranslations.h"
#include "desktop/CAppOpenService.h"
#include "desktop/CMprisPlayer.h"
#include "engine/CSystemClock.h"
#include "export/ExportCommand.h"
#include "mainwnd/CTetravDlg.h"
#include "platform/CDisplayWatchdog.h"
#include "platform/FileName.h"
#include "platform/HeapRelease.h"

#include <gst/gst.h>

#include <QApplication>

#include <cstdio>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
    // The display watchdog is this same program started again; it needs no Qt at all.
    if (argc >= 2 && std::strcmp(argv[1], CDisplayWatchdog::kArgument) == 0) {
        return CDisplayWatchdog::RunChild(argc, argv);
    }

    // The command line first: help, version and mistakes need no display.
    // File names are the file system's bytes (a QString from the locale would replace bytes
    // that are not UTF-8).
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << FileName::FromBytes(QByteArray(argv[i]));
    }
    const CCommandLine::Parsed parsed = CCommandLine::Parse(arguments);
    switch (parsed.action) {
    case CCommandLine::Action::Help:
    case CCommandLine::Action::Version:
        std::fputs(parsed.text.toLocal8Bit().constData(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    case CCommandLine::Action::Error:
        std::fprintf(stderr, "Tetrav: %s (tetrav --help lists the options)\n",
                     parsed.text.toLocal8Bit().constData());
        return CCommandLine::kUsageExitCode;
    case CCommandLine::Action::Export: {
        // No window: GStreamer alone, on this thread and its own.
        gst_init(nullptr, nullptr);
        const int code = ExportCommand::Run(parsed.exportJob);
        gst_deinit();
        return code;
    }
    case CCommandLine::Action::Run:
        break;
    }
    // Offsets for scripts: no window, no display.
    if (parsed.options.printOffsets) {
        ShareTwoHeaps();
        gst_init(nullptr, nullptr);
        const int code = CAlignPrint::Run(parsed.files, parsed.options, stdout, stderr);
        gst_deinit();
        return code;
    }
    const QString noDisplay = CCommandLine::DisplayProblem(parsed.qtArguments);
    if (!noDisplay.isEmpty()) {
        std::fprintf(stderr, "Tetrav: %s\n", noDisplay.toLocal8Bit().constData());
        return CCommandLine::kNoDisplayExitCode;
    }

    CDisplayWatchdog::SetEnabled(true);
    ShareTwoHeaps();

    // Qt sees only its own options; ours are read above.
    std::vector<QByteArray> qtStorage{QByteArray(argv[0])};
    for (const QString& a : parsed.qtArguments) {
        qtStorage.push_back(a.toLocal8Bit());
    }
    std::vector<char*> qtArgv;
    for (QByteArray& a : qtStorage) {
        qtArgv.push_back(a.data());
    }
    qtArgv.push_back(nullptr);
    int qtArgc = static_cast<int>(qtStorage.size());

    QApplication app(qtArgc, qtArgv.data());
    QApplication::setApplicationName(QStringLiteral("Tetrav"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tetrav"));
    QApplication::setDesktopFileName(QStringLiteral("org.tetrav.Tetrav"));
    QtTranslations::Install(app);
    gst_init(nullptr, nullptr);
    // Pipelines that pick their own clock (time sync, no sound server) take the one whose waits
    // can always be called off, as the frame-sync set does.
    gst_system_clock_set_default(CSystemClock::Create().get());

    CTetravApp tetrav([&parsed](const QStringList& files) {
        CTetravDlg dlg;
        dlg.SetCommandLineFiles(files, parsed.options);
        // The desktop's media controls and the door for a second copy's files (session bus only).
        (new CMprisPlayer(&dlg))->Register();
        (new CAppOpenService(&dlg))->Register();
        return dlg.DoModal();
    });
    tetrav.SetCommandLine(parsed.files, parsed.options);
    const int code = tetrav.Run();
    gst_deinit();
    return code;
}
