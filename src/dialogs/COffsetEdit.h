#pragma once
// The masked edit of a signed time offset, ±hh:mm:ss.mmm (at most 24 hours either way). It
// holds the whole form at all times and takes typing a field at a time:
// - the sign is a cell of its own: + or - typed anywhere sets it;
// - digits typed into hours, minutes or seconds fill the field from the right ("5" shows 05,
//   then "9" shows 59), into the milliseconds from the left ("25" shows 250); a full field
//   passes the caret on to the next one, and ':' or '.' ends a field early;
// - a digit that would take the field out of range (hours past 24, minutes or seconds past 59)
//   is refused as it is typed, with a beep;
// - typing over the whole text (as the dialog opens, or after Ctrl+A) replaces the value: the
//   fields not typed are zero, the sign + unless typed;
// - Backspace takes back the last digit typed in the field, or moves to the field before.
// What the field shows is always a complete offset, and it is exactly what is read.
#include "dialogs/CMaskEdit.h"

class COffsetEdit : public CMaskEdit {
    Q_OBJECT
public:
    explicit COffsetEdit(QWidget* parent = nullptr);
    ~COffsetEdit() override;

    // One character typed (digits, sign, ':' and '.'; Backspace as QChar(8)) by the rules
    // above; other control characters change nothing.
    void OnChar(QChar ch) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    // The field (0 hours, 1 minutes, 2 seconds, 3 milliseconds) at or after position p.
    static int FieldAt(int p);
    void StartField(int field);
    // The field's digits as if typed: without the zeros that fill it.
    QString FieldDigits(int field) const;
    // Shows the digits typed in the current field; false (nothing changed) when out of range.
    bool ShowTyped(const QString& typed);

    int m_nField = -1;  // the field being typed, -1: none
    QString m_strTyped; // the digits typed into it
};
