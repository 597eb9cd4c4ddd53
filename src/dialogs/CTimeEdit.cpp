#include "dialogs/CTimeEdit.h"

CTimeEdit::CTimeEdit(QWidget* parent) : CMaskEdit(parent) {
    m_bMaskOn = true;
    m_strMask = QStringLiteral("00:00:00");
    m_strTemplate = QStringLiteral("__:__:__");
    // Text can come in only as typed characters.
    setAcceptDrops(false);
    setDragEnabled(false);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setInputMethodHints(Qt::ImhDigitsOnly);
}

CTimeEdit::~CTimeEdit() = default;
