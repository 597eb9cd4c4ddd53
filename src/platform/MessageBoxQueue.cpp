#include "platform/MessageBoxQueue.h"

#include <QMessageBox>

MessageBoxQueue& MessageBoxQueue::Instance() {
    static MessageBoxQueue queue;
    return queue;
}

void MessageBoxQueue::SetOwner(QWidget* owner) {
    m_owner = owner;
}

void MessageBoxQueue::Show(MakeBox make) {
    m_waiting.push_back({std::move(make), nullptr, {}});
    if (m_current == nullptr && !m_inNext) {
        Next();
    }
}

void MessageBoxQueue::After(QObject* context, std::function<void()> then) {
    if (!Busy()) {
        then();
        return;
    }
    m_waiting.push_back({nullptr, context, std::move(then)});
}

void MessageBoxQueue::Next() {
    m_inNext = true;
    while (m_current == nullptr && !m_waiting.empty()) {
        Item item = std::move(m_waiting.front());
        m_waiting.pop_front();
        if (!item.make) {
            if (item.context != nullptr && item.then) {
                item.then(); // boxes it asks for come after what waits already
            }
            continue;
        }
        // Window-modal over the owner: the owner and its other dialogs wait for it. Without one,
        // modal to the whole program.
        QWidget* owner = m_owner != nullptr && m_owner->isVisible() ? m_owner.data() : nullptr;
        QMessageBox* box = item.make(owner);
        m_current = box;
        box->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(box, &QDialog::finished, box, [this, box] { Closed(box); });
        QObject::connect(box, &QObject::destroyed, [this, box] {
            if (m_current == box) {
                // Gone with its owner (the window closes): what waited for it goes too.
                m_current = nullptr;
                m_waiting.clear();
            }
        });
        if (owner != nullptr) {
            box->open();
        } else {
            box->setWindowModality(Qt::ApplicationModal);
            box->show();
        }
    }
    m_inNext = false;
}

void MessageBoxQueue::Closed(QMessageBox* box) {
    if (m_current != box) {
        return;
    }
    m_current = nullptr;
    Next();
}
