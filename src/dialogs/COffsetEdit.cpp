#include "dialogs/COffsetEdit.h"

#include <QInputMethodEvent>
#include <QKeyEvent>

#include <algorithm>

namespace {

constexpr QChar kBackspace(8);
const QString kZero = QStringLiteral("+00:00:00.000");

struct Field {
    int start;
    int width;
    int most; // the largest value the field takes (0: any)
};
// hours, minutes, seconds, milliseconds in "±hh:mm:ss.mmm".
constexpr Field kFields[4] = {{1, 2, 24}, {4, 2, 59}, {7, 2, 59}, {10, 3, 0}};

} // namespace

COffsetEdit::COffsetEdit(QWidget* parent) : CMaskEdit(parent) {
    m_bMaskOn = true; // the refusals of paste, drops, the context menu and the rest
    m_strMask = QStringLiteral("+00:00:00.000");
    m_strTemplate = QStringLiteral("___:__:__.___");
    m_nTimeStart = 1;
    m_strHourLimit = QStringLiteral("24");
    setAcceptDrops(false);
    setDragEnabled(false);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setMaxLength(kZero.size());
}

COffsetEdit::~COffsetEdit() = default;

int COffsetEdit::FieldAt(int p) {
    for (int f = 0; f < 4; ++f) {
        if (p < kFields[f].start + kFields[f].width) {
            return f;
        }
    }
    return 3;
}

QString COffsetEdit::FieldDigits(int field) const {
    const Field& f = kFields[field];
    QString digits = text().mid(f.start, f.width);
    if (field == 3) {
        while (digits.endsWith(QLatin1Char('0'))) {
            digits.chop(1);
        }
    } else {
        while (digits.startsWith(QLatin1Char('0'))) {
            digits.remove(0, 1);
        }
    }
    return digits;
}

void COffsetEdit::StartField(int field) {
    m_nField = field;
    m_strTyped.clear();
    setCursorPosition(kFields[field].start);
}

bool COffsetEdit::ShowTyped(const QString& typed) {
    const Field& f = kFields[m_nField];
    const QString cell = m_nField == 3 ? typed.leftJustified(f.width, QLatin1Char('0'))
                                       : typed.rightJustified(f.width, QLatin1Char('0'));
    if (f.most > 0 && cell.toInt() > f.most) {
        return false;
    }
    QString t = text();
    t.replace(f.start, f.width, cell);
    // 24 hours is the most: with hours at 24 the rest is zero.
    if (t.mid(1, 2) == QLatin1String("24") && m_nField == 0) {
        t.replace(3, t.size() - 3, kZero.mid(3));
    } else if (t.mid(1, 2) == QLatin1String("24") && cell.toInt() != 0) {
        return false;
    }
    m_strTyped = typed;
    setText(t);
    m_strCurrent = t;
    if (typed.size() == f.width && m_nField < 3) {
        StartField(m_nField + 1); // a full field passes the caret on
    } else {
        setCursorPosition(f.start + (m_nField == 3 ? int(typed.size()) : f.width));
    }
    return true;
}

void COffsetEdit::OnChar(QChar ch) {
    if (ch != kBackspace && !ch.isPrint()) {
        return;
    }
    const bool replaceAll = hasSelectedText() && selectedText().size() == text().size();
    if (replaceAll && (ch.isDigit() || ch == QLatin1Char('+') || ch == QLatin1Char('-'))) {
        setText(kZero);
        m_strCurrent = kZero;
        StartField(0);
    } else if (hasSelectedText()) {
        const int start = selectionStart();
        deselect();
        setCursorPosition(start);
        m_nField = -1;
    }
    if (ch == QLatin1Char('+') || ch == QLatin1Char('-')) {
        const int caret = cursorPosition();
        QString t = text();
        t[0] = ch;
        setText(t);
        m_strCurrent = t;
        setCursorPosition(caret == 0 ? kFields[0].start : caret);
        return;
    }
    if (ch == kBackspace) {
        if (m_nField < 0) {
            m_nField = FieldAt(std::max(cursorPosition(), kFields[0].start));
            m_strTyped = FieldDigits(m_nField);
        } else if (m_strTyped.isEmpty() && m_nField > 0) {
            // Back into the field before, as if its digits had just been typed.
            StartField(m_nField - 1);
            m_strTyped = FieldDigits(m_nField);
        }
        if (m_strTyped.isEmpty()) {
            Beep();
            return;
        }
        ShowTyped(m_strTyped.left(m_strTyped.size() - 1));
        return;
    }
    if (ch == QLatin1Char(':') || ch == QLatin1Char('.')) {
        const int from = m_nField >= 0 ? m_nField : FieldAt(cursorPosition());
        // The literal that a full field has already passed is taken as typed.
        if (m_nField >= 0 && m_strTyped.isEmpty() && m_nField > 0 &&
            text().at(kFields[m_nField].start - 1) == ch) {
            return;
        }
        // Ends the field: on to the next one (':'), or to the milliseconds ('.').
        const int next = ch == QLatin1Char('.') ? 3 : from + 1;
        if (next <= from || next > 3 || (ch == QLatin1Char(':') && next == 3)) {
            Beep();
            return;
        }
        StartField(next);
        return;
    }
    if (!ch.isDigit() || ch.unicode() > 0x7F) {
        Beep();
        return;
    }
    if (m_nField < 0) {
        StartField(FieldAt(std::max(cursorPosition(), kFields[0].start)));
    }
    if (m_strTyped.size() >= kFields[m_nField].width) {
        Beep(); // the milliseconds are full: nothing follows them
        return;
    }
    if (!ShowTyped(m_strTyped + ch)) {
        Beep(); // out of range: refused as typed
    }
}

void COffsetEdit::keyPressEvent(QKeyEvent* event) {
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
        PassWithoutText(event); // the caret moves; a new field starts where typed
        m_nField = -1;
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
    for (const QChar ch : event->text()) {
        if (ch.isPrint()) {
            OnChar(ch);
        }
    }
}

void COffsetEdit::inputMethodEvent(QInputMethodEvent* event) {
    event->accept();
    for (const QChar ch : event->commitString()) {
        if (ch.isPrint()) {
            OnChar(ch);
        }
    }
}

void COffsetEdit::mousePressEvent(QMouseEvent* event) {
    CMaskEdit::mousePressEvent(event);
    m_nField = -1; // typing starts afresh in the field clicked
}

void COffsetEdit::focusInEvent(QFocusEvent* event) {
    CMaskEdit::focusInEvent(event);
    m_nField = -1;
}
