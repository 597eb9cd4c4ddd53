#pragma once
// The pane information drawn over a picture (播放控制 -> 显示画面信息): the file's name, the
// picture's own time (hh:mm:ss.mmm) and frame number, the pane's offset, and a mark on the
// reference pane. Drawn by the picture widget over each picture it paints, so it follows play,
// seeks and steps; never part of a snapshot, which is taken from the decoded frame.
#include <QRect>
#include <QString>
#include <QStringList>

class QPainter;

struct PaneInfo {
    bool shown = false;
    QString fileName;    // without its folder
    double offset = 0.0; // seconds
    bool reference = false;
    double frameRate = 0.0; // frames a second; 0: not known (no frame number)
    // Where the file's own time starts on its stream, and its length (0: not known).
    qint64 startNs = 0;
    qint64 durationNs = 0;
    bool operator==(const PaneInfo&) const = default;
};

class CPaneInfoOverlay {
public:
    // The text of the reference's mark.
    static QString ReferenceMark();
    // The picture's own time and frame number ("00:01:02.040  第 1551 帧") for a picture at
    // streamNs of its stream.
    static QString TimeLine(const PaneInfo& info, qint64 streamNs);
    // The offset ("偏移 +1.200 秒", "偏移 0").
    static QString OffsetLine(const PaneInfo& info);
    // Draws the information for the picture at streamNs into pane (the pane's rectangle in the
    // painter's coordinates) at its upper left corner; returns the box it covers (empty when the
    // pane is too small to hold it).
    static QRect Paint(QPainter& painter, const QRect& pane, const PaneInfo& info, qint64 streamNs);
};
