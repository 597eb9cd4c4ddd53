#pragma once
// The main window's 按声音对齐: every pane (or one, from its menu) lined up with the reference by
// its sound. The analysis runs beside the event loop under a progress dialog; cancelling it, or
// the set closing or changing meanwhile, changes nothing. The offsets found go through the same
// path as the offset dialog's, and one message sums up.
#include <QObject>

struct AlignResult;
class CAlignJob;
class CTetravDlg;
class QProgressDialog;

class CAudioAlignment : public QObject {
    Q_OBJECT
public:
    // Owned by the window.
    explicit CAudioAlignment(CTetravDlg* dlg);

    // Every open pane (pane < 0) or that pane alone; nothing while an analysis runs.
    void Start(int pane);
    bool IsRunning() const { return m_pJob != nullptr; }

private:
    void Finish(const AlignResult& result);
    // Cancels the analysis in progress (nothing is applied) and closes its dialog.
    void Stop();
    // Stops the analysis when the set it works on has changed.
    void FollowSet();

    CTetravDlg* m_dlg;
    CAlignJob* m_pJob = nullptr;
    QProgressDialog* m_pProgress = nullptr;
};
