#include "dialogs/CMaskEdit.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>

namespace {

constexpr QChar kBackspace(8);
constexpr QChar kInputPosition(u'_');

bool IsDigit(QChar ch) {
    return ch >= QLatin1Char('0') && ch <= QLatin1Char('9');
}

QChar At(const QString& s, int i) {
    return i >= 0 && i < s.size() ? s[i] : QChar();
}

} // namespace

CMaskEdit::CMaskEdit(QWidget* parent) : QLineEdit(parent) {}

CMaskEdit::~CMaskEdit() = default;

void CMaskEdit::SetTimeText(const QString& text) {
    m_strRestore = text;
    m_strCurrent = text;
    setText(text);
}

QString CMaskEdit::GetTimeText() const {
    return text();
}

void CMaskEdit::Beep() {
    emit beeped();
    QApplication::beep();
}

bool CMaskEdit::CheckChar(QChar ch) {
    if (!m_bMaskOn || !ch.isPrint()) {
        return true;
    }
    // Typing goes in where the selection starts.
    const int start = hasSelectedText() ? selectionStart() : cursorPosition();
    deselect();
    setCursorPosition(start);
    int p = start;
    if (p >= m_strMask.size()) {
        Beep();
        return false;
    }
    if (!m_strTemplate.isEmpty() && At(m_strTemplate, p) != kInputPosition) {
        // A literal under the caret: pass over it.
        TypeSelf(m_strTemplate[p]);
        p = cursorPosition();
        if (p >= m_strMask.size()) {
            Beep();
            return false;
        }
    }
    if (m_strAlwaysValid.contains(ch)) {
        return true;
    }
    if (m_strMask[p] == QLatin1Char('+')) {
        // A sign.
        if (ch == QLatin1Char('+') || ch == QLatin1Char('-')) {
            return true;
        }
        Beep();
        return false;
    }
    if (m_strMask[p] != QLatin1Char('0')) {
        return true;
    }
    if (!IsDigit(ch)) {
        Beep();
        return false;
    }
    // Limits, digit by digit, refused without a beep; the seconds take any digit.
    const int h = m_nTimeStart;
    switch (p - h) {
    case 0:
        return ch <= At(m_strHourLimit, 0) && KeepSecondDigitInLimit(ch, h, m_strHourLimit);
    case 1:
        return At(m_strCurrent, h) != At(m_strHourLimit, 0) || ch <= At(m_strHourLimit, 1);
    case 3:
        return ch <= At(m_strMinuteLimit, 0) && KeepSecondDigitInLimit(ch, h + 3, m_strMinuteLimit);
    case 4:
        return At(m_strCurrent, h + 3) != At(m_strMinuteLimit, 0) || ch <= At(m_strMinuteLimit, 1);
    default:
        return true;
    }
}

bool CMaskEdit::KeepSecondDigitInLimit(QChar first, int field, const QString& limit) {
    // A first digit at its highest ("4" of 47) over a second digit beyond it ("19") would give
    // 49: the second digit comes down to the highest it may be.
    if (first != At(limit, 0) || At(m_strCurrent, field + 1) <= At(limit, 1)) {
        return true;
    }
    const int caret = cursorPosition();
    QString t = text();
    if (field + 1 < t.size()) {
        t[field + 1] = limit[1];
    }
    m_strCurrent[field + 1] = limit[1];
    setText(t);
    setCursorPosition(caret);
    return true;
}

void CMaskEdit::TypeSelf(QChar ch) {
    m_bSelfTyping = true;
    CMaskEdit::OnChar(ch);
    m_bSelfTyping = false;
}

void CMaskEdit::OnChar(QChar ch) {
    if (!m_bSelfTyping && !CheckChar(ch)) {
        return;
    }
    if (!m_bMaskOn) {
        if (ch == kBackspace) {
            backspace();
        } else if (ch.isPrint()) {
            insert(QString(ch));
        }
        return;
    }
    if (ch == kBackspace) {
        OnBackspace();
        return;
    }
    if (!ch.isPrint()) {
        return; // control characters change nothing
    }
    Overwrite(ch);
    if (!m_bSelfTyping && !m_strTemplate.isEmpty()) {
        // The second digit of a field carries the caret past the following literal.
        const int p = cursorPosition();
        if (p < m_strTemplate.size() && m_strTemplate[p] != kInputPosition) {
            TypeSelf(m_strTemplate[p]);
        }
    }
}

void CMaskEdit::Overwrite(QChar ch) {
    const int start = hasSelectedText() ? selectionStart() : cursorPosition();
    const int end = hasSelectedText() ? start + static_cast<int>(selectedText().size()) : start;
    QString t = text();
    t.replace(start, std::min<qsizetype>(end - start + 1, t.size() - start), ch);
    if (end < m_strCurrent.size()) {
        m_strCurrent[end] = ch;
    } else {
        m_strCurrent.append(ch);
    }
    setText(t);
    setCursorPosition(start + 1);
}

void CMaskEdit::OnBackspace() {
    const int start = cursorPosition();
    if (hasSelectedText() || start < 1 || start > m_strCurrent.size()) {
        Beep();
        return;
    }
    // Never shortens the text: one place to the left, restored from the text set last.
    const QChar restore = At(m_strRestore, start - 1);
    cursorBackward(false);
    if (!restore.isNull()) {
        TypeSelf(restore);
        cursorBackward(false);
        // The text set last and the digits typed since may mix into a time beyond the limits
        // (19 set, 4 typed over the 1, the 9 restored): the second digit comes down again.
        KeepSecondDigitInLimit(At(m_strCurrent, m_nTimeStart), m_nTimeStart, m_strHourLimit);
        KeepSecondDigitInLimit(At(m_strCurrent, m_nTimeStart + 3), m_nTimeStart + 3, m_strMinuteLimit);
    }
}

void CMaskEdit::keyPressEvent(QKeyEvent* event) {
    if (!m_bMaskOn) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        event->ignore(); // the dialog's default button and Cancel
        return;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
        PassWithoutText(event); // the caret moves; the text stays
        return;
    default:
        break;
    }
    if (event->matches(QKeySequence::Copy) || event->matches(QKeySequence::SelectAll)) {
        PassWithoutText(event);
        return;
    }
    event->accept();
    const Qt::KeyboardModifiers commands = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    if ((event->modifiers() & commands) != 0) {
        return; // paste, cut, undo and the other editing commands are refused
    }
    if (event->key() == Qt::Key_Backspace) {
        OnChar(kBackspace);
        return;
    }
    // Delete, Insert (Shift+Insert pastes, Shift+Delete cuts) and keys without text do nothing.
    for (const QChar ch : event->text()) {
        if (ch.isPrint()) {
            OnChar(ch);
        }
    }
}

void CMaskEdit::PassWithoutText(QKeyEvent* event) {
    // A key that moves the caret or selects may still carry text (an arrow with Ctrl+Alt held
    // on some layouts); the line edit would type it, past the mask.
    QKeyEvent bare(event->type(), event->key(), event->modifiers());
    QLineEdit::keyPressEvent(&bare);
    event->setAccepted(bare.isAccepted());
}

void CMaskEdit::inputMethodEvent(QInputMethodEvent* event) {
    if (!m_bMaskOn) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    event->accept();
    for (const QChar ch : event->commitString()) {
        if (ch.isPrint()) {
            OnChar(ch);
        }
    }
}

void CMaskEdit::mousePressEvent(QMouseEvent* event) {
    if (m_bMaskOn && event->button() == Qt::MiddleButton) {
        event->accept();
        return;
    }
    QLineEdit::mousePressEvent(event);
}

void CMaskEdit::mouseReleaseEvent(QMouseEvent* event) {
    // On X11 the middle button pastes the selection.
    if (m_bMaskOn && event->button() == Qt::MiddleButton) {
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void CMaskEdit::contextMenuEvent(QContextMenuEvent* event) {
    if (m_bMaskOn) {
        event->accept(); // its Paste, Undo and Delete would bypass the mask
        return;
    }
    QLineEdit::contextMenuEvent(event);
}

void CMaskEdit::dragEnterEvent(QDragEnterEvent* event) {
    if (m_bMaskOn) {
        event->ignore();
        return;
    }
    QLineEdit::dragEnterEvent(event);
}

void CMaskEdit::dropEvent(QDropEvent* event) {
    if (m_bMaskOn) {
        event->ignore();
        return;
    }
    QLineEdit::dropEvent(event);
}
