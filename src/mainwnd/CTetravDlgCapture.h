#pragma once
// The main window's snapshots: one pane's picture (its context menu, hot keys 1 to 4) and every
// pane's picture of one instant with the four as one 2 x 2 picture (播放控制 -> "全部抓图", the
// fifth hot key), written into the snapshot folder.
#include <QObject>
#include <QString>

class CHotKeyManager;
class CTetravDlg;
class PlaySet;

class CTetravDlgCapture : public QObject {
    Q_OBJECT
public:
    // The window owns this.
    explicit CTetravDlgCapture(CTetravDlg& dlg);

    // The snapshot hot keys (the window registers them from the settings); one pressed while a
    // set opens acts once it is open.
    CHotKeyManager* HotKeys() const { return m_pHotKeys; }
    // Hot keys 100 to 400: panes 1 to 4; 500: all at one instant.
    void OnHotKey(int id);
    // Writes pane 0..3's picture into the snapshot folder (nothing when the pane is empty).
    void OnCapture(int pane);
    // Writes every open pane's picture of one instant, and the four as one 2 x 2 picture, under
    // one time stamp.
    void OnCaptureAll();

signals:
    // A capture of all panes has been written (written false: it could not be, and was said);
    // oneInstant: its pictures cover one instant of the set.
    void capturedAll(bool written, bool oneInstant);

private:
    // One try of OnCaptureAll; tries again shortly while the set is catching up.
    void CaptureAllTry(const QString& stamp, int triesLeft);

    CTetravDlg& m_dlg;
    PlaySet& m_set;
    CHotKeyManager* m_pHotKeys = nullptr;
};
