#pragma once
// The hot key control: a box that shows one key combination ("Ctrl + Shift + A", "无" when
// empty) and takes the next one the user presses while it has the focus. Its value is the
// classic word: the Windows virtual-key code in the low byte and the control's own modifier
// flags (HOTKEYF_SHIFT 1, HOTKEYF_CONTROL 2, HOTKEYF_ALT 4, HOTKEYF_EXT 8) in the high byte.
//
// Tab and Shift+Tab move the focus, Enter and Escape go to the dialog, Backspace and Delete
// empty the box. A key without Ctrl, Shift or Alt is taken only when it is a function key: a
// lone letter grabbed system-wide would be lost to every other program, so the box says so and
// keeps its value.
#include <QLineEdit>

class QKeyEvent;

class CHotKeyCtrl : public QLineEdit {
    Q_OBJECT
public:
    static constexpr unsigned HOTKEYF_SHIFT = 0x01;
    static constexpr unsigned HOTKEYF_CONTROL = 0x02;
    static constexpr unsigned HOTKEYF_ALT = 0x04;
    static constexpr unsigned HOTKEYF_EXT = 0x08;

    explicit CHotKeyCtrl(QWidget* parent = nullptr);
    ~CHotKeyCtrl() override;

    // HKM_SETHOTKEY / HKM_GETHOTKEY with the classic word.
    void SetHotKeyWord(unsigned word);
    unsigned GetHotKeyWord() const { return (m_modifiers << 8) | m_virtualKey; }
    void SetHotKey(unsigned virtualKey, unsigned modifiers);
    void GetHotKey(unsigned& virtualKey, unsigned& modifiers) const;

    // The text the control shows for a value.
    static QString HotKeyText(unsigned virtualKey, unsigned modifiers);
    // The name of a virtual key ("A", "F5", "Num 3", "Page Up"); a code without a name reads
    // as its number in hexadecimal.
    static QString KeyName(unsigned virtualKey);
    // The virtual-key code of a Qt key event (0 for a modifier or an unknown key).
    static unsigned VirtualKeyOf(const QKeyEvent& event);

signals:
    void hotKeyChanged();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    static unsigned ModifiersOf(Qt::KeyboardModifiers modifiers);
    void ShowValue();

    unsigned m_virtualKey = 0;
    unsigned m_modifiers = 0;
};
