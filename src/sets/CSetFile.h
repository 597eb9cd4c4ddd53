#pragma once
// A saved set of videos (a .tetravset file): a small UTF-8 text file that names up to four
// videos (relative to the set file when they lie in its folder or below), each pane's time
// offset, the sync mode, the reference rule and the position to go to.
//
//   [TetravSet]
//   Version=1
//   Video1=clips/camera a.mp4
//   Video2=/srv/recordings/二号机位.mkv
//   Offset2=-3.2
//   SyncMode=frame          (frame | time)
//   Reference=shortest      (shortest | longest)
//   Position=12.48
//
// Keys are case-insensitive; lines starting with # or ; are comments. Lines this version does
// not understand (keys or sections of a newer version) are kept as they are and otherwise
// ignored; a known key with an unusable value is ignored too. A file that is no set file (no
// [TetravSet] first, no video named, binary, larger than kMaxBytes, a folder) is refused.
#include <QString>
#include <QStringList>

class QDir;

class CSetFile {
public:
    static constexpr const char* kSuffix = "tetravset";
    static constexpr qint64 kMaxBytes = 64 * 1024;
    static constexpr int kVersion = 1;
    static constexpr double kMaxOffset = 24.0 * 3600.0; // seconds either way

    QString video[4];      // absolute paths; empty = the pane has no video
    double offset[4] = {}; // seconds: pane k shows the reference's instant t at its own t + offset
    int syncMode = -1;     // as the FramePhase setting: 1 frame sync, 0 time sync, -1 not given
    int reference = -1;    // as the MiniVideo setting: 1 shortest, 0 longest, -1 not given
    double position = 0.0; // seconds of the reference time
    QStringList kept;      // lines of a newer version, as they were

    // Reads path. On failure the set is unchanged and *why says why, for the user.
    bool Read(const QString& path, QString* why);
    // Writes the set to path at once or not at all; kept lines go at the end.
    bool Write(const QString& path, QString* why) const;

    // The panes (0..3) whose video does not exist (or is no file).
    QList<int> MissingPanes() const;
    // A file that opens as a set rather than as a video: by its name.
    static bool IsSetFile(const QString& path);

private:
    // One key (lower case) of [TetravSet]; false when this version does not know it.
    bool Take(const QString& key, const QString& value, const QDir& folder);
    // A video's value as the file it names: relative to the set's folder, or a file URI.
    static QString VideoPath(const QString& value, const QDir& folder);
};
