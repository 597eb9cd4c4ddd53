#include "mainwnd/OpenInputHold.h"

#include "model/PlaySet.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>

#include <memory>

OpenInputHold::OpenInputHold(QWidget* window, PlaySet* set) : QObject(window), m_window(window), m_set(set) {
    connect(m_set, &PlaySet::openingChanged, this, &OpenInputHold::Follow);
    Follow(m_set->IsOpening());
}

OpenInputHold::~OpenInputHold() {
    Follow(false);
}

void OpenInputHold::Follow(bool opening) {
    if (opening == m_installed) {
        return;
    }
    m_installed = opening;
    if (opening) {
        QCoreApplication::instance()->installEventFilter(this);
    } else {
        QCoreApplication::instance()->removeEventFilter(this);
    }
}

bool OpenInputHold::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
        break;
    default:
        return false;
    }
    if (!watched->isWidgetType() || static_cast<QWidget*>(watched)->window() != m_window ||
        !m_set->IsOpening()) {
        return false;
    }
    // Delivered again to the same widget once the set is open; dropped if the widget is gone.
    const std::shared_ptr<QEvent> held(event->clone());
    QPointer<QObject> receiver(watched);
    m_set->WhenOpen(watched, [receiver, held] {
        if (receiver) {
            QCoreApplication::postEvent(receiver, held->clone());
        }
    });
    return true;
}
