#pragma once
// The program's message boxes one after another, without a nested event loop: a box is shown
// window-modal over the owner (the main window) and the caller goes on at once; a box asked for
// while another is up comes once that one is closed, in the order asked. What must happen only
// after the user has closed the boxes waits with After().
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <deque>
#include <functional>

class QMessageBox;

class MessageBoxQueue {
public:
    static MessageBoxQueue& Instance();

    // The window the boxes stay above (null: none; a box is then modal to the whole program).
    void SetOwner(QWidget* owner);
    // Makes a box (make(parent)) and shows it now, or after the boxes and steps already waiting.
    using MakeBox = std::function<QMessageBox*(QWidget* parent)>;
    void Show(MakeBox make);
    // Runs then once every box shown or waiting now has been closed (at once when none is);
    // dropped when context is gone by then.
    void After(QObject* context, std::function<void()> then);
    // A box is up or waiting.
    bool Busy() const { return m_current != nullptr || !m_waiting.empty(); }

private:
    MessageBoxQueue() = default;
    // Shows the next waiting box, running the steps before it.
    void Next();
    void Closed(QMessageBox* box);

    struct Item {
        MakeBox make; // a box, or else a step
        QPointer<QObject> context;
        std::function<void()> then;
    };
    QPointer<QWidget> m_owner;
    QMessageBox* m_current = nullptr;
    bool m_inNext = false; // running the steps before the next box
    std::deque<Item> m_waiting;
};
