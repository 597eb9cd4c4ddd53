#pragma once
// The program's message boxes: one function over QMessageBox. While a MessageBoxRecorder is
// alive (tests), boxes are recorded instead of shown and answer IDOK.
#include <QString>

enum class MsgIcon { None, Error, Warning, Information };

// Shows a modal box without owner window. An empty caption means the application title
// ("Tetrav"). Returns IDOK (1) when the box is closed.
int ShowMessageBox(const QString& text, const QString& caption = QString(), MsgIcon icon = MsgIcon::None);

// The caption-"错误" error box the program uses for user-facing failures.
int ShowErrorBox(const QString& text);
