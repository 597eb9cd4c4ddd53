#pragma once
// The main window's transport: the play commands, closing the set, and the two timers that keep
// the set in step: the synchronisation tick (every 10 ms) and the display tick (500 ms) that
// shows the place and ends play at the end of the reference.
#include <QElapsedTimer>
#include <QObject>

class CTetravDlg;
class QTimer;

class CTetravDlgPlay : public QObject {
    Q_OBJECT
public:
    // The window owns this.
    explicit CTetravDlgPlay(CTetravDlg& dlg);

    void OnPlay();
    void OnPause();
    void OnStop();
    void OnSlower();
    void OnNormalSpeed();
    void OnFaster();
    void OnStepFrame();
    void OnStepBack();
    void OnGotoPosition();
    void OnSeekBarScroll();
    // Normal speed without resuming play (the desktop's Rate property never starts play).
    void SetNormalRate();
    // Both timers stop and every channel of the set closes (the paths stay).
    void CloseSet();

    // TIMER_SYNC and TIMER_DISPLAY; a period of 0 ticks every 10 ms.
    void SetTimer(int id, int periodMs);
    void KillTimer(int id);
    bool IsTimerRunning(int id) const;
    void OnTimer(int id);
    // The reference's position into the play time (while the sync ticks stand still).
    void ReadPlayTime();
    // While paused the display tick reads the play time after seeks and steps (a set opened
    // paused has no tick running yet).
    void FollowPlayTime();
    // The play time and the seek bar's thumb show where the set stands.
    void ShowPlace();

private:
    CTetravDlg& m_dlg;
    QTimer* m_pTimerSync = nullptr;
    QTimer* m_pTimerDisplay = nullptr;
    QElapsedTimer m_syncTickClock; // since the last sync tick; invalid until the tick runs
};
