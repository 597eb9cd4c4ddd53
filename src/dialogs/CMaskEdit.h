#pragma once
// A one-line edit whose text follows a mask: typing overwrites in place, the template's
// literals (the colons of hh:mm:ss) are skipped and never removed, mask "0" positions take a
// digit under the hour and minute limits, mask "+" positions take a sign, and Backspace moves
// left restoring the text the program set last. With the mask on nothing else can change the text: Delete,
// Insert, paste, cut, undo, drag and drop, the X11 middle-click paste, the context menu and input-method text
// are refused (committed input-method text is typed character by character instead).
#include <QLineEdit>
#include <QString>

class CMaskEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CMaskEdit(QWidget* parent = nullptr);
    ~CMaskEdit() override;

    // Sets the text the user starts from (and Backspace restores from).
    void SetTimeText(const QString& text);
    QString GetTimeText() const;

    // Whether ch may go in at the caret; collapses the selection to its start and passes over a
    // literal under the caret. Refusals of non-digits and of keys past the end beep.
    bool CheckChar(QChar ch);
    // One character typed, as the control handles a character message (an edit with rules of
    // its own takes it by them).
    virtual void OnChar(QChar ch);
    // Types ch into the control bypassing the checks (used for literals and restores).
    void TypeSelf(QChar ch);

    bool m_bMaskOn = false;
    QString m_strCurrent;
    QString m_strMask;
    QString m_strTemplate;
    QString m_strAlwaysValid;
    bool m_bSelfTyping = false;
    QString m_strHourLimit = QStringLiteral("47");
    QString m_strMinuteLimit = QStringLiteral("59");
    QString m_strRestore;
    // Where hh:mm:ss starts in the mask (after a sign, a mask "+" position taking + or -).
    int m_nTimeStart = 0;

signals:
    // Emitted at every beep (the beep itself goes to the desktop).
    void beeped();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // Emits beeped() and beeps.
    void Beep();
    // Gives a caret or selection key to the line edit without any text it carries.
    void PassWithoutText(QKeyEvent* event);

private:
    void OnBackspace();
    // Lowers the field's second digit to the limit's when first, about to go in, is the limit's
    // first digit; field is where the field starts. Always true (the digit is taken).
    bool KeepSecondDigitInLimit(QChar first, int field, const QString& limit);
    // Replaces the character at the caret by ch (appends at the end) and moves past it.
    void Overwrite(QChar ch);
};
