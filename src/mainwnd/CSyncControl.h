#pragma once
// The synchronisation the set plays under: made for the sync mode in force when first asked for,
// switched as soon as the mode in force changes (the set handed over from the one in use), or
// given by the owner for good.
#include <QObject>

#include <functional>
#include <memory>

class CChannelSync;
class CFrameSync;
class CSettingsModel;
struct SyncSet;

class CSyncControl : public QObject {
    Q_OBJECT
public:
    // current: the set as the sync sees it now; playing: whether the set plays (the sync ticks run).
    CSyncControl(const CSettingsModel& settings, std::function<SyncSet()> current,
                 std::function<bool()> playing, QObject* parent = nullptr);
    ~CSyncControl() override;

    // The synchronisation in use (made on first use).
    CChannelSync& Active();
    // The frame sync, when it is the one in use (else null).
    CFrameSync* Frame() const { return m_frame; }
    // A seek, step or catching up of the frame sync holds the set.
    bool Busy() const;
    // Replaces the synchronisation for good: the mode setting is no longer followed.
    void Pin(std::unique_ptr<CChannelSync> sync);
    // Forgets what the synchronisation in use knew of the set (a set closes).
    void Reset();

signals:
    // The frame sync's seek, step or pause has landed.
    void landed();

private:
    void Make(int mode);
    void OnSettingsChanged();

    const CSettingsModel& m_settings;
    std::function<SyncSet()> m_current;
    std::function<bool()> m_playing;
    std::unique_ptr<CChannelSync> m_sync;
    CFrameSync* m_frame = nullptr; // m_sync when it is the frame sync
    int m_mode = -1;               // the sync mode m_sync was made for
    bool m_pinned = false;
};
