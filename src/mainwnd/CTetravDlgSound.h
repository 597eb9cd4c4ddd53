#pragma once
// The main window's sound: the volume slider's level (m_nVolume, what every heard channel gets),
// the volume and mute keys, and each pane menu's "只听此画面" (only that pane is heard, chosen
// again: every pane) and "静音" (that pane silent, chosen again: heard).
#include <QObject>
#include <QString>

class CMenuEx;
class CVolumeSlider;
class PlaySet;
class QMenu;

class CTetravDlgSound : public QObject {
    Q_OBJECT
public:
    // The slider's moves set the level; parent owns this.
    CTetravDlgSound(PlaySet& set, CVolumeSlider& slider, QObject* parent);

    // Adds the sound items to pane's menu (whose popup shows their check marks).
    void AddItems(int pane, CMenuEx* menu, QMenu* popup);

    // The level in IBasicAudio units (0 full, -10000 silent): the slider's position - 10000.
    int Volume() const { return m_nVolume; }
    void SetVolume(int volume) { m_nVolume = volume; }
    // What channel k is given: the level when the pane is heard, else silence.
    long PaneVolume(int k) const;

    void OnSoloPane(int k);
    void OnMutePane(int k);
    // Every pane heard again, for a new set.
    void Reset();

    // The volume slider one step up (+1) or down (-1); mute and back.
    void StepVolume(int direction);
    void OnMute();

signals:
    // The text of the last action for the status bar.
    void actionText(const QString& text);

private:
    // Every open channel given its volume now, and the check marks.
    void Apply();
    void ShowChecks();

    PlaySet& m_set;
    CVolumeSlider& m_slider;
    QMenu* m_pPopup[4] = {nullptr, nullptr, nullptr, nullptr};
    int m_nVolume = 0;
    int m_nMutedPos = -1;                                // the slider before muting; -1: not muted
    int m_nSoloPane = -1;                                // the only pane heard; -1: all not muted
    bool m_bPaneMuted[4] = {false, false, false, false}; // 静音 of each pane
};
