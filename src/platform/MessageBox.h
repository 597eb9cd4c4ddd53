#pragma once
// The program's message boxes: one function over QMessageBox. While a MessageBoxRecorder is
// alive (tests), boxes are recorded instead of shown and answer IDOK.
#include <QString>

class QFontMetrics;

enum class MsgIcon { None, Error, Warning, Information };

// Shows a modal box without owner window. An empty caption means the application title
// ("Tetrav"). Returns IDOK (1) when the box is closed.
int ShowMessageBox(const QString& text, const QString& caption = QString(), MsgIcon icon = MsgIcon::None);

// The text a box shows for text, so that it stays within a screen maxWidth pixels wide: lines
// wider than that elided in the middle (a long path keeps its start and its file name), and
// beyond maxLines lines the rest summed up ("……以及另外 990 项"). The box then offers the
// whole text as its details.
QString ShownText(const QString& text, const QFontMetrics& metrics, int maxWidth, int maxLines = 12);

// The caption-"错误" error box the program uses for user-facing failures.
int ShowErrorBox(const QString& text);

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
