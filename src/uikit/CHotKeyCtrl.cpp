#include "uikit/CHotKeyCtrl.h"

#include <QContextMenuEvent>
#include <QKeyEvent>

namespace {

struct NamedKey {
    int qtKey;
    unsigned vk;
    const char* name;
};

// Keys other than letters, digits, F-keys and the keypad digits (handled by range below).
constexpr NamedKey kKeys[] = {
    {Qt::Key_Backspace, 0x08, "Backspace"},
    {Qt::Key_Tab, 0x09, "Tab"},
    {Qt::Key_Clear, 0x0C, "Clear"},
    {Qt::Key_Return, 0x0D, "Enter"},
    {Qt::Key_Enter, 0x0D, "Enter"},
    {Qt::Key_Pause, 0x13, "Pause"},
    {Qt::Key_CapsLock, 0x14, "Caps Lock"},
    {Qt::Key_Escape, 0x1B, "Esc"},
    {Qt::Key_Space, 0x20, "Space"},
    {Qt::Key_PageUp, 0x21, "Page Up"},
    {Qt::Key_PageDown, 0x22, "Page Down"},
    {Qt::Key_End, 0x23, "End"},
    {Qt::Key_Home, 0x24, "Home"},
    {Qt::Key_Left, 0x25, "Left"},
    {Qt::Key_Up, 0x26, "Up"},
    {Qt::Key_Right, 0x27, "Right"},
    {Qt::Key_Down, 0x28, "Down"},
    {Qt::Key_Select, 0x29, "Select"},
    {Qt::Key_Print, 0x2C, "Print Screen"},
    {Qt::Key_Execute, 0x2B, "Execute"},
    {Qt::Key_Insert, 0x2D, "Insert"},
    {Qt::Key_Delete, 0x2E, "Delete"},
    {Qt::Key_Help, 0x2F, "Help"},
    {Qt::Key_Menu, 0x5D, "Application"},
    {Qt::Key_NumLock, 0x90, "Num Lock"},
    {Qt::Key_ScrollLock, 0x91, "Scroll Lock"},
    {Qt::Key_Semicolon, 0xBA, ";"},
    {Qt::Key_Colon, 0xBA, ";"},
    {Qt::Key_Equal, 0xBB, "="},
    {Qt::Key_Plus, 0xBB, "="},
    {Qt::Key_Comma, 0xBC, ","},
    {Qt::Key_Less, 0xBC, ","},
    {Qt::Key_Minus, 0xBD, "-"},
    {Qt::Key_Underscore, 0xBD, "-"},
    {Qt::Key_Period, 0xBE, "."},
    {Qt::Key_Greater, 0xBE, "."},
    {Qt::Key_Slash, 0xBF, "/"},
    {Qt::Key_Question, 0xBF, "/"},
    {Qt::Key_QuoteLeft, 0xC0, "`"},
    {Qt::Key_AsciiTilde, 0xC0, "`"},
    {Qt::Key_BracketLeft, 0xDB, "["},
    {Qt::Key_BraceLeft, 0xDB, "["},
    {Qt::Key_Backslash, 0xDC, "\\"},
    {Qt::Key_Bar, 0xDC, "\\"},
    {Qt::Key_BracketRight, 0xDD, "]"},
    {Qt::Key_BraceRight, 0xDD, "]"},
    {Qt::Key_Apostrophe, 0xDE, "'"},
    {Qt::Key_QuoteDbl, 0xDE, "'"},
};

// Keypad keys other than the digits.
constexpr NamedKey kKeypadKeys[] = {
    {Qt::Key_Asterisk, 0x6A, "Num *"}, {Qt::Key_Plus, 0x6B, "Num +"},  {Qt::Key_Minus, 0x6D, "Num -"},
    {Qt::Key_Period, 0x6E, "Num Del"}, {Qt::Key_Slash, 0x6F, "Num /"},
};

// Shift turns the digit keys into these on the usual layout.
constexpr int kShiftedDigits[10] = {
    Qt::Key_ParenRight, Qt::Key_Exclam,      Qt::Key_At,        Qt::Key_NumberSign, Qt::Key_Dollar,
    Qt::Key_Percent,    Qt::Key_AsciiCircum, Qt::Key_Ampersand, Qt::Key_Asterisk,   Qt::Key_ParenLeft};

bool IsModifierKey(int key) {
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_Meta ||
           key == Qt::Key_AltGr || key == Qt::Key_Super_L || key == Qt::Key_Super_R;
}

bool IsFunctionKey(unsigned vk) {
    return vk >= 0x70 && vk <= 0x87;
}

} // namespace

CHotKeyCtrl::CHotKeyCtrl(QWidget* parent) : QLineEdit(parent) {
    setReadOnly(true);
    setFocusPolicy(Qt::StrongFocus);
    // Read-only boxes stay white: this one is typed into, in its own way.
    QPalette pal = palette();
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        pal.setColor(group, QPalette::Base, Qt::white);
        pal.setColor(group, QPalette::Text, Qt::black);
    }
    setPalette(pal);
    ShowValue();
}

CHotKeyCtrl::~CHotKeyCtrl() = default;

void CHotKeyCtrl::SetHotKeyWord(unsigned word) {
    SetHotKey(word & 0xFFu, (word >> 8) & 0xFFu);
}

void CHotKeyCtrl::SetHotKey(unsigned virtualKey, unsigned modifiers) {
    m_virtualKey = virtualKey & 0xFFu;
    m_modifiers = modifiers & 0xFFu;
    ShowValue();
}

void CHotKeyCtrl::GetHotKey(unsigned& virtualKey, unsigned& modifiers) const {
    virtualKey = m_virtualKey;
    modifiers = m_modifiers;
}

QString CHotKeyCtrl::KeyName(unsigned vk) {
    if ((vk >= 0x30 && vk <= 0x39) || (vk >= 0x41 && vk <= 0x5A)) {
        return QString(QChar(char16_t(vk)));
    }
    if (IsFunctionKey(vk)) {
        return QStringLiteral("F%1").arg(vk - 0x6F);
    }
    if (vk >= 0x60 && vk <= 0x69) {
        return QStringLiteral("Num %1").arg(vk - 0x60);
    }
    for (const NamedKey& k : kKeypadKeys) {
        if (k.vk == vk) {
            return QString::fromLatin1(k.name);
        }
    }
    for (const NamedKey& k : kKeys) {
        if (k.vk == vk) {
            return QString::fromLatin1(k.name);
        }
    }
    return QStringLiteral("0x%1").arg(vk, 2, 16, QLatin1Char('0'));
}

QString CHotKeyCtrl::HotKeyText(unsigned vk, unsigned modifiers) {
    if (vk == 0 && (modifiers & (HOTKEYF_SHIFT | HOTKEYF_CONTROL | HOTKEYF_ALT)) == 0) {
        return QStringLiteral("无");
    }
    QString text;
    if (modifiers & HOTKEYF_CONTROL) {
        text += QStringLiteral("Ctrl + ");
    }
    if (modifiers & HOTKEYF_SHIFT) {
        text += QStringLiteral("Shift + ");
    }
    if (modifiers & HOTKEYF_ALT) {
        text += QStringLiteral("Alt + ");
    }
    if (vk != 0) {
        text += KeyName(vk);
    }
    return text;
}

unsigned CHotKeyCtrl::VirtualKeyOf(const QKeyEvent& event) {
    const int key = event.key();
    if (IsModifierKey(key)) {
        return 0;
    }
    if (event.modifiers() & Qt::KeypadModifier) {
        if (key >= Qt::Key_0 && key <= Qt::Key_9) {
            return 0x60u + unsigned(key - Qt::Key_0);
        }
        for (const NamedKey& k : kKeypadKeys) {
            if (k.qtKey == key) {
                return k.vk;
            }
        }
    }
    if (key >= Qt::Key_A && key <= Qt::Key_Z) {
        return 0x41u + unsigned(key - Qt::Key_A);
    }
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        return 0x30u + unsigned(key - Qt::Key_0);
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) {
        return 0x70u + unsigned(key - Qt::Key_F1);
    }
    if (key == Qt::Key_Backtab) {
        return 0x09;
    }
    for (int d = 0; d < 10; ++d) {
        if (kShiftedDigits[d] == key) {
            return 0x30u + unsigned(d);
        }
    }
    for (const NamedKey& k : kKeys) {
        if (k.qtKey == key) {
            return k.vk;
        }
    }
    return 0;
}

unsigned CHotKeyCtrl::ModifiersOf(Qt::KeyboardModifiers modifiers) {
    unsigned flags = 0;
    if (modifiers & Qt::ShiftModifier) {
        flags |= HOTKEYF_SHIFT;
    }
    if (modifiers & Qt::ControlModifier) {
        flags |= HOTKEYF_CONTROL;
    }
    if (modifiers & Qt::AltModifier) {
        flags |= HOTKEYF_ALT;
    }
    return flags;
}

void CHotKeyCtrl::ShowValue() {
    setText(HotKeyText(m_virtualKey, m_modifiers));
    setCursorPosition(text().size());
}

bool CHotKeyCtrl::event(QEvent* e) {
    if (e->type() == QEvent::ShortcutOverride) {
        // Every combination is this control's while it has the focus (Alt+O included), except
        // the plain keys the dialog itself needs.
        auto* key = static_cast<QKeyEvent*>(e);
        const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        const bool forDialog = plain && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ||
                                         key->key() == Qt::Key_Escape);
        if (!forDialog) {
            e->accept();
            return true;
        }
    }
    return QLineEdit::event(e);
}

void CHotKeyCtrl::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const unsigned modifiers = ModifiersOf(event->modifiers());
    const bool plain = modifiers == 0;
    if (plain && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape)) {
        event->ignore(); // the dialog's OK and Cancel
        return;
    }
    if ((key == Qt::Key_Tab && plain) || (key == Qt::Key_Backtab && modifiers == HOTKEYF_SHIFT)) {
        focusNextPrevChild(key == Qt::Key_Tab);
        return;
    }
    if (plain && (key == Qt::Key_Backspace || key == Qt::Key_Delete)) {
        SetHotKey(0, 0);
        emit hotKeyChanged();
        return;
    }
    event->accept();
    if (IsModifierKey(key)) {
        setText(HotKeyText(0, modifiers)); // the modifiers held so far, as the user builds it
        return;
    }
    const unsigned vk = VirtualKeyOf(*event);
    if (vk == 0) {
        ShowValue();
        return;
    }
    if ((modifiers & (HOTKEYF_CONTROL | HOTKEYF_ALT | HOTKEYF_SHIFT)) == 0 && !IsFunctionKey(vk)) {
        setText(QStringLiteral("请同时按 Ctrl、Shift 或 Alt"));
        return;
    }
    SetHotKey(vk, modifiers);
    emit hotKeyChanged();
}

void CHotKeyCtrl::keyReleaseEvent(QKeyEvent* event) {
    // Letting go of the modifiers without a key puts the value back.
    if (IsModifierKey(event->key()) && ModifiersOf(event->modifiers()) == 0) {
        ShowValue();
    }
    event->accept();
}

void CHotKeyCtrl::focusOutEvent(QFocusEvent* event) {
    ShowValue();
    QLineEdit::focusOutEvent(event);
}

void CHotKeyCtrl::contextMenuEvent(QContextMenuEvent* event) {
    event->accept(); // no copy/select-all menu: the box holds a key, not text
}
