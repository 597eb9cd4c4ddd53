#pragma once
// The folder the user last picked a file in, so every file picker starts there: one line in
// $XDG_STATE_HOME/tetrav/last-folder (by default ~/.local/state/tetrav/last-folder).
#include <QString>

class LastFolder {
public:
    static QString FilePath();
    // The folder, or empty when none was kept or it has gone (the picker's own default then).
    static QString Get();
    // Keeps the folder of the file picked (or the folder itself); a failed write loses only the
    // convenience, so it is not reported.
    static void Remember(const QString& picked);
};
