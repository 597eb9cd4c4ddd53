#pragma once
// While a set opens, the keys, buttons and wheel turns the user gives the window wait: they are
// held back and delivered, in the order given, once the set is open, as if the window had been
// too busy to read them before. Input to other windows (a message box) goes through.
#include <QObject>

class PlaySet;
class QWidget;

class OpenInputHold : public QObject {
    Q_OBJECT
public:
    // Follows set's open state for window's input; owned by window.
    OpenInputHold(QWidget* window, PlaySet* set);
    ~OpenInputHold() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Follow(bool opening);

    QWidget* m_window;
    PlaySet* m_set;
    bool m_installed = false;
};
