#pragma once
// The program's command line, read before any window or display is needed:
//
//   tetrav [options] [file...]
//
// --help and --version print and end with 0; an unknown option or an unusable value ends with
// a one-line reason and 2. The run options (sync mode, reference rule, offsets, start, rate,
// play) act for this run only. Qt's own options (-platform, -display, -style ...) are passed to
// Qt; the display is checked here too, so that a missing one is said in one line rather than
// ending in Qt's abort.
#include "export/ExportJob.h"
#include "mainwnd/RunOptions.h"

#include <QString>
#include <QStringList>

class CCommandLine {
public:
    static constexpr int kUsageExitCode = 2;
    static constexpr int kNoDisplayExitCode = 1;

    enum class Action { Run, Help, Version, Error, Export };

    struct Parsed {
        Action action = Action::Run;
        QString text;      // the help or version text, or why the command line is refused
        QStringList files; // the file arguments as given (a --set file is the only one)
        RunOptions options;
        QStringList qtArguments; // Qt's own options, in the order given
        ExportJob exportJob;     // for Action::Export: the files, offsets, interval, size, sound
    };

    // arguments: the command line without the program name.
    static Parsed Parse(const QStringList& arguments);
    static QString HelpText();
    static QString VersionText();

    // Why no window can be shown with these Qt options and this environment ("" when one can):
    // the X display cannot be opened, or there is no Wayland display for a Wayland platform.
    static QString DisplayProblem(const QStringList& qtArguments);

    // A time as the options take it: seconds ("12.5"), "m:ss" or "h:mm:ss", each with at most
    // three decimals (milliseconds); a sign only when allowSign. False when unusable.
    static bool ParseTime(const QString& text, bool allowSign, double* seconds);
};
