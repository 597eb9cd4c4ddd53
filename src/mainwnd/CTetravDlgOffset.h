#pragma once
// The main window's time offsets: the offset dialog, nudging a pane by frames of its own video,
// and new offsets applied to the set in play; the status bar's sync part that shows them.
#include <QObject>
#include <QString>

class CTetravDlg;

class CTetravDlgOffset : public QObject {
    Q_OBJECT
public:
    // The window owns this.
    explicit CTetravDlgOffset(CTetravDlg& dlg);

    // Sets pane k's offset (seconds, within +-24 h) and moves the set at once: the other panes
    // keep their pictures, and changing the reference's own offset moves the reference. An
    // offset written to the set directly is applied by the next seek, start or rate change
    // (e.g. write all four, then OnGotoPosition).
    void SetChannelOffset(int k, double seconds);
    // The offset dialog for pane k; pane k nudged by frames of its own video (while paused).
    void OnSetOffset(int k);
    void NudgeOffset(int k, int frames);
    // The pane under the mouse pointer whose channel is open, or -1.
    int PaneUnderPointer() const;
    // The status bar's sync part: the positions, and the offsets when any is set.
    QString SyncInfoText() const;

private:
    CTetravDlg& m_dlg;
};
