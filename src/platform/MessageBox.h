#pragma once
// The program's message boxes: one function over QMessageBox. While a MessageBoxRecorder is
// alive (tests), boxes are recorded instead of shown and answer IDOK.
#include "platform/MessageText.h"

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
