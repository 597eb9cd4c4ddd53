#pragma once
// Test hook: while an instance lives, every ShowMessageBox call is recorded here instead of
// being shown. Instances nest; the innermost one records.
#include "platform/MessageBox.h"

#include <QString>
#include <vector>

class MessageBoxRecorder {
public:
    struct Box {
        QString text;
        QString caption;
        MsgIcon icon;
        QString shown; // what the box shows (ShownText); the text is its details when they differ
    };

    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    const std::vector<Box>& boxes() const { return m_boxes; }
    QStringList texts() const;
    void clear() { m_boxes.clear(); }

    // Called by ShowMessageBox; returns false when no recorder is active.
    static bool record(const QString& text, const QString& caption, MsgIcon icon, const QString& shown);

private:
    std::vector<Box> m_boxes;
    MessageBoxRecorder* m_previous;
};
