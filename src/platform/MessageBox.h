#pragma once
// The program's message boxes: one function over QMessageBox. While a MessageBoxRecorder is
// alive (tests), boxes are recorded instead of shown, as if closed at once.
#include "platform/MessageText.h"

#include <QString>

#include <functional>

class QFontMetrics;
class QObject;
class QWidget;

enum class MsgIcon { None, Error, Warning, Information };

// Shows an OK box, modal over the boxes' owner (SetMessageBoxOwner), and returns at once; a box
// asked for while another is up follows it. An empty caption means the application title
// ("Tetrav"). What must wait until the user has closed the boxes goes in AfterMessageBoxes.
void ShowMessageBox(const QString& text, const QString& caption = QString(), MsgIcon icon = MsgIcon::None);

// Runs then once every box shown or waiting now has been closed: at once when none is (so always
// at once while a MessageBoxRecorder records); dropped when context is gone by then.
void AfterMessageBoxes(QObject* context, std::function<void()> then);

// The window the boxes stay above (the main window; null: none).
void SetMessageBoxOwner(QWidget* owner);

// The text a box shows for text, so that it stays within a screen maxWidth pixels wide: lines
// wider than that elided in the middle (a long path keeps its start and its file name), and
// beyond maxLines lines the rest summed up ("……以及另外 990 项"). The box then offers the
// whole text as its details.
QString ShownText(const QString& text, const QFontMetrics& metrics, int maxWidth, int maxLines = 12);

// The caption-"错误" error box the program uses for user-facing failures.
void ShowErrorBox(const QString& text);
