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
    // Puts path first (once); the oldest beyond kMax fall off. False when the list could not be
    // written (it then stays as it was, and *why says why).
    static bool Add(const QString& path, QString* why = nullptr);

private:
    static QStringList ReadFile();
    static bool WriteFile(const QStringList& paths, QString* why);
};
