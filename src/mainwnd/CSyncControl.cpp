#include "mainwnd/CSyncControl.h"

#include "settings/CSettingsModel.h"
#include "sync/CChannelSync.h"
#include "sync/CFrameSync.h"
#include "sync/CWholeSecondSync.h"

CSyncControl::CSyncControl(const CSettingsModel& settings, std::function<SyncSet()> current,
                           std::function<bool()> playing, QObject* parent)
    : QObject(parent), m_settings(settings), m_current(std::move(current)), m_playing(std::move(playing)) {
    connect(&m_settings, &CSettingsModel::changed, this, &CSyncControl::OnSettingsChanged);
}

CSyncControl::~CSyncControl() = default;

CChannelSync& CSyncControl::Active() {
    if (!m_sync) {
        Make(m_settings.SyncMode());
    }
    return *m_sync;
}

bool CSyncControl::Busy() const {
    return m_frame != nullptr && m_frame->Busy();
}

void CSyncControl::Pin(std::unique_ptr<CChannelSync> sync) {
    if (sync) {
        m_sync = std::move(sync);
        m_frame = dynamic_cast<CFrameSync*>(m_sync.get());
        m_pinned = true;
    }
}

void CSyncControl::Reset() {
    if (m_sync) {
        m_sync->Reset();
    }
}

void CSyncControl::OnSettingsChanged() {
    // The sync mode acts on the running set as soon as the setting in force changes.
    if (m_sync && !m_pinned && m_settings.SyncMode() != m_mode) {
        Make(m_settings.SyncMode());
    }
}

void CSyncControl::Make(int mode) {
    const bool playing = m_playing();
    if (m_sync) {
        m_sync->Leave(m_current());
    }
    m_frame = nullptr;
    if (mode == 1) {
        auto frame = std::make_unique<CFrameSync>();
        m_frame = frame.get();
        connect(frame.get(), &CFrameSync::landed, this, &CSyncControl::landed);
        m_sync = std::move(frame);
    } else {
        m_sync = std::make_unique<CWholeSecondSync>();
    }
    m_mode = mode;
    m_sync->Adopt(m_current(), playing);
}
