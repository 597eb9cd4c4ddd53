#pragma once
// The main window's keys: one table from key to command, seeking by steps of time (keys and the
// wheel over the seek bar), and the ladder of rates the [ and ] keys climb. Enter and Escape keep
// their meaning (they end the program) except that Escape first leaves full screen; the arrow
// keys step frames, and with Ctrl nudge the pane under the pointer.
#include <QElapsedTimer>
#include <QObject>

class CTetravDlg;
class PlaySet;
class QKeyEvent;
class QWheelEvent;

class CTetravDlgKeys : public QObject {
    Q_OBJECT
public:
    // The window owns this.
    explicit CTetravDlgKeys(CTetravDlg& dlg);

    // A key press on its way to watched: true when it is taken (the window's key, acted on).
    bool OnKeyPress(QObject* watched, QKeyEvent* key);
    // A key pressed while the window (not a dialog of it) has the keyboard: true when it is one
    // of the window's keys and has been acted on.
    bool OnKey(int key, Qt::KeyboardModifiers modifiers);
    // Plays when paused or stopped on a set, pauses while playing.
    void OnPlayPause();
    // Moves the set by seconds from the reference's position (clamped to its start and last frame).
    void SeekBy(double seconds);
    // To the reference's first (end false) or last frame.
    void SeekToEnd(bool end);
    // One step along 0.1, 0.25, 0.5, 1, 2, 4, 8, 16 (direction +1 faster, -1 slower).
    void StepRate(int direction);
    // The wheel over the seek bar: 5 s a notch.
    bool OnSeekBarWheel(QWheelEvent* event);

private:
    CTetravDlg& m_dlg;
    PlaySet& m_set;
    double m_dKeyTarget = -1.0;   // where the last key seek goes
    QElapsedTimer m_keySeekClock; // since the last key seek
};
