#include "mainwnd/CTetravDlgSound.h"

#include "controls/CMenuEx.h"
#include "controls/CVolumeSlider.h"
#include "engine/IChannel.h"
#include "model/PlaySet.h"
#include "uikit/Resource.h"

#include <QAction>
#include <QMenu>

#include <algorithm>

namespace {

constexpr long kSilent = -10000;
constexpr int kVolumeSteps = 20;

} // namespace

CTetravDlgSound::CTetravDlgSound(PlaySet& set, CVolumeSlider& slider, QObject* parent)
    : QObject(parent), m_set(set), m_slider(slider) {
    // The level is not applied here: the sync tick gives it to every channel, so a change made
    // while paused takes effect when play resumes.
    connect(&m_slider, &CBCGPSliderCtrl::hscroll, this,
            [this](int) { m_nVolume = m_slider.GetPos() - 10000; });
}

void CTetravDlgSound::AddItems(int pane, CMenuEx* menu, QMenu* popup) {
    m_pPopup[pane] = popup;
    menu->AppendCommand(QStringLiteral("只听此画面"), ID_SOLO_1 + pane)->setCheckable(true);
    menu->AppendCommand(QStringLiteral("静音"), ID_MUTE_1 + pane)->setCheckable(true);
    connect(menu, &CMenuEx::command, this, [this](int id) {
        if (id >= ID_SOLO_1 && id < ID_SOLO_1 + 4) {
            OnSoloPane(id - ID_SOLO_1);
        } else if (id >= ID_MUTE_1 && id < ID_MUTE_1 + 4) {
            OnMutePane(id - ID_MUTE_1);
        }
    });
}

long CTetravDlgSound::PaneVolume(int k) const {
    const bool heard = m_nSoloPane >= 0 ? k == m_nSoloPane : !m_bPaneMuted[k];
    return heard ? m_nVolume : kSilent;
}

void CTetravDlgSound::OnSoloPane(int k) {
    m_nSoloPane = m_nSoloPane == k ? -1 : k;
    Apply();
}

void CTetravDlgSound::OnMutePane(int k) {
    m_bPaneMuted[k] = !m_bPaneMuted[k];
    Apply();
}

void CTetravDlgSound::Reset() {
    m_nSoloPane = -1;
    for (bool& muted : m_bPaneMuted) {
        muted = false;
    }
    ShowChecks();
}

void CTetravDlgSound::Apply() {
    // Paused channels get theirs now too, so play resumes with the right panes heard.
    for (int k = 0; k < PlaySet::kPanes; ++k) {
        if (m_set.IsOpen(k)) {
            m_set.Channel(k)->SetVolume(PaneVolume(k));
        }
    }
    ShowChecks();
}

void CTetravDlgSound::ShowChecks() {
    for (int k = 0; k < 4; ++k) {
        if (m_pPopup[k] == nullptr) {
            continue;
        }
        for (QAction* item : m_pPopup[k]->actions()) {
            const int id = CMenuEx::CommandId(item);
            if (id == ID_SOLO_1 + k) {
                item->setChecked(m_nSoloPane == k);
            } else if (id == ID_MUTE_1 + k) {
                item->setChecked(m_bPaneMuted[k]);
            }
        }
    }
}

void CTetravDlgSound::StepVolume(int direction) {
    if (!m_slider.isEnabled()) {
        return;
    }
    const int max = m_slider.GetRangeMax();
    const int from = m_nMutedPos >= 0 ? m_nMutedPos : m_slider.GetPos();
    m_nMutedPos = -1;
    const int step = std::max(1, max / kVolumeSteps);
    m_slider.SetPos(std::clamp(from + direction * step, m_slider.GetRangeMin(), max));
    emit m_slider.hscroll(m_slider.GetPos());
    emit actionText(QString::fromUtf8("音量 %1%").arg(max > 0 ? m_slider.GetPos() * 100 / max : 0));
}

void CTetravDlgSound::OnMute() {
    if (!m_slider.isEnabled()) {
        return;
    }
    // Muted only while the slider still stands where muting put it (a new set moves it).
    if (m_nMutedPos >= 0 && m_slider.GetPos() == m_slider.GetRangeMin()) {
        m_slider.SetPos(m_nMutedPos);
        m_nMutedPos = -1;
    } else {
        m_nMutedPos = m_slider.GetPos();
        m_slider.SetPos(m_slider.GetRangeMin());
        if (m_nMutedPos == m_slider.GetRangeMin()) {
            m_nMutedPos = -1; // nothing to come back to
        }
    }
    emit m_slider.hscroll(m_slider.GetPos());
    emit actionText(m_nMutedPos >= 0 ? QString::fromUtf8("静音") : QString::fromUtf8("取消静音"));
}
