#pragma once
// tetrav --align-audio --print-offsets FILE...: lines the files up by their sound without a
// window and prints each pane's offset in seconds, one line per file, in pane order. The
// reference is the one the window would take (--reference, else the settings file's rule); it
// keeps its own offset (--offset, else 0) and the others get theirs from it. A pane that cannot
// be aligned prints the offset it keeps, and its reason goes to the error stream.
#include "mainwnd/RunOptions.h"

#include <QStringList>

#include <cstdio>

class CAlignPrint {
public:
    static constexpr int kNotAllAlignedExitCode = 3;
    // Returns the exit status: 0 when every pane was aligned, kNotAllAlignedExitCode when one
    // could not be (or the reference has no sound to align to).
    static int Run(const QStringList& files, const RunOptions& options, std::FILE* out, std::FILE* err);
};
