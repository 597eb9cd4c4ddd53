#pragma once
// The go-to dialog "跳至...": a play time in a masked hh:mm:ss edit, prefilled with the
// reference position of the last synchronisation tick. OK stores the time in seconds in
// g_dGotoSecs and sends WM_GOTO_POSITION to the main window, which seeks every open channel
// before the dialog closes; Cancel changes nothing.
#include "uikit/CBCGPDialog.h"

#include <QString>
#include <QStringList>

class CTimeEdit;

class CGotoDlg : public CBCGPDialog {
    Q_OBJECT
public:
    explicit CGotoDlg(QWidget* parent = nullptr);
    ~CGotoDlg() override;

    CTimeEdit* TimeEdit() const { return m_editTime; }

    // The prefill for a position: whole seconds as "%02d:%02d:%02d" (00:00:00 for a negative
    // or unknown position, 99:59:59 at most).
    static QString TimeText(double seconds);
    // Seconds of an "h:m:s" text, reading only the parts that exist, in 64 bits.
    static long long SecondsOf(const QString& text);
    // The substrings of text between the separator's first character, in order.
    static void SplitString(const QString& text, const QString& separator, QStringList& parts);

protected:
    bool OnInitDialog() override;
    void OnOK() override;

private:
    CTimeEdit* m_editTime = nullptr;
};
