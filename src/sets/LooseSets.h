#pragma once
// Sets opened from loose videos (the file selection dialog, the command line, a drop, a second
// start) have no set file of their own; to be found again under 最近的视频组 each is kept as a
// set file in $XDG_STATE_HOME/tetrav/sets (by default ~/.local/state/tetrav/sets), named after
// its videos, the same videos always under the same name.
#include <QString>

class CSetFile;

class LooseSets {
public:
    static QString Folder();
    // The file set is kept in (its videos decide the name).
    static QString PathFor(const CSetFile& set);
    // Writes set to PathFor(set); false when it could not be written (*why says why).
    static bool Keep(const CSetFile& set, QString* path, QString* why);
    // What the recent-sets menu shows for a kept set: its videos' names; empty for any other file.
    static QString Label(const QString& path);
};
