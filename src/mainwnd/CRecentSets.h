#pragma once
// The sets opened or saved most recently, most recent first, at most kMax: one absolute path a
// line in $XDG_STATE_HOME/tetrav/recent-sets (by default ~/.local/state/tetrav/recent-sets).
#include <QString>
#include <QStringList>

class CRecentSets {
public:
    static constexpr int kMax = 10;

    static QString FilePath();
    // The list as it stands, without the sets that no longer exist (those are dropped from the
    // file as well).
    static QStringList Load();
    // Puts path first (once); the oldest beyond kMax fall off.
    static void Add(const QString& path);

private:
    static QStringList ReadFile();
    static void WriteFile(const QStringList& paths);
};
