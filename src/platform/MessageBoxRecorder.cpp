#include "platform/MessageBoxRecorder.h"

#include <QStringList>

namespace {
MessageBoxRecorder* g_activeRecorder = nullptr;
}

MessageBoxRecorder::MessageBoxRecorder() : m_previous(g_activeRecorder) {
    g_activeRecorder = this;
}

MessageBoxRecorder::~MessageBoxRecorder() {
    g_activeRecorder = m_previous;
}

QStringList MessageBoxRecorder::texts() const {
    QStringList out;
    for (const Box& b : m_boxes) {
        out << b.text;
    }
    return out;
}

bool MessageBoxRecorder::record(const QString& text, const QString& caption, MsgIcon icon,
                                const QString& shown) {
    if (g_activeRecorder == nullptr) {
        return false;
    }
    g_activeRecorder->m_boxes.push_back({text, caption, icon, shown});
    return true;
}
