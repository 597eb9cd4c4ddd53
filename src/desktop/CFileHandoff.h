#pragma once
// A second copy's files, handed to the copy that runs: org.freedesktop.Application.Open on
// the running copy's application id, over the session bus. Used only by a copy that is about
// to end, so it may wait for the answer (a few seconds at most, also while the running copy
// is still starting up and has not taken its name yet).
#include "mainwnd/RunOptions.h"

#include <QString>
#include <QStringList>

class CFileHandoff {
public:
    // Hands files (absolute paths, "" for an empty pane) and the run options over; on failure,
    // why in *error.
    static bool Send(const QStringList& files, const RunOptions& options, QString* error,
                     int timeoutMs = 5000);
};
