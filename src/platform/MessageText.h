#pragma once
// The texts of the program's messages about files and panes (shown by MessageBox.h's boxes, or
// handed up by code that shows nothing itself).
#include <QString>

// The names the panes go by (channel 0..3: "视频一" to "视频四"); empty for any other number.
QString PaneTitle(int channel);

// The second line of a message about one file: its pane and its path ("视频二：/videos/b.mp4"),
// or the path alone when the channel is not 0..3.
QString FileLine(int channel, const QString& path);

// text as it stands, with line as the box's second line.
QString WithSecondLine(const QString& text, const QString& line);

// The box about a file that could not be written: text, the file's path and the reason, each
// on a line of its own ("保存设置错误!\n/home/u/.config/tetrav/TetravSet.ini\n磁盘空间不足").
QString FileFailure(const QString& text, const QString& path, const QString& reason);
