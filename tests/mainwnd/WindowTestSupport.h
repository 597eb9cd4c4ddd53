#pragma once
// Shared by the main-window tests: settings in a private folder (with hot keys that grab
// nothing, so a parallel test's grabs are never disturbed), message boxes recorded instead of
// shown, and the real window shown on the test's X server.
#include "ScriptedChannel.h"

#include "uikit/Resource.h"
#include "controls/CVolumeSlider.h"
#include "controls/CXScrollBar.h"
#include "dialogs/VideoPaths.h"
#include "mainwnd/CTetravDlg.h"
#include "platform/MessageBoxRecorder.h"
#include "settings/CSettings.h"
#include "settings/CSettingsFile.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <memory>

namespace mainwnd_test {

// Runs the event loop until pred holds or timeoutMs passes; returns pred's last value.
template <typename Pred> bool WaitFor(Pred pred, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!pred()) {
        if (clock.elapsed() > timeoutMs) {
            return pred();
        }
        QTest::qWait(10);
    }
    return true;
}

// Writes the settings file the window reads when it is shown. Hot key code 0 grabs no key.
inline void WriteSettings(int foreView = 0, int miniVideo = 1, unsigned hotKey = 0, unsigned modifiers = 6) {
    CSettings s;
    s.FramePhase = 0;
    s.MiniVideo = static_cast<std::int8_t>(miniVideo);
    s.ForeView = static_cast<std::int8_t>(foreView);
    s.SaveMapPath = QStringLiteral("/tmp");
    HotKeySetting keys[4];
    for (unsigned n = 0; n < 4; ++n) {
        keys[n].virtualKey = hotKey == 0 ? 0 : hotKey + n;
        keys[n].modifiers = modifiers;
    }
    ASSERT_TRUE(CSettingsFile::Write(s, keys));
}

class MainWindowTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
        WriteSettings();
        for (QString& p : g_strVideoPath) {
            p.clear();
        }
        dlg = std::make_unique<CTetravDlg>();
    }

    void TearDown() override {
        dlg.reset();
        for (QString& p : g_strVideoPath) {
            p.clear();
        }
    }

    // Shows the window as DoModal would (initialisation, then the first show).
    void ShowWindow() {
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
        dlg->activateWindow();
        static_cast<void>(QTest::qWaitForWindowActive(dlg.get(), 2000));
        QApplication::processEvents();
    }

    // Channels made by the window come from the scripts, one per slot.
    void UseScriptedChannels() {
        for (auto& s : scripts) {
            s = std::make_shared<ChannelScript>();
        }
        dlg->SetChannelFactory([this] { return new ScriptedChannel(scripts[dlg->m_nCurChannel]); });
    }

    // A set in place as the open command leaves it, without probing: lengths[k] <= 0 = no channel.
    void InstallScriptedSet(std::array<double, 4> lengths, int reference, int miniVideo) {
        g_settings.MiniVideo = static_cast<std::int8_t>(miniVideo);
        dlg->m_nOpenCount = 0;
        for (int k = 0; k < 4; ++k) {
            scripts[k] = std::make_shared<ChannelScript>();
            scripts[k]->length = lengths[k];
            dlg->m_bReference[k] = k == reference ? 1 : 0;
            if (lengths[k] > 0) {
                dlg->m_pChannel[k] = new ScriptedChannel(scripts[k]);
                dlg->m_dLength[k] = lengths[k];
                g_strVideoPath[k] = QStringLiteral("/scripted/%1.mp4").arg(k);
                ++dlg->m_nOpenCount;
            } else {
                dlg->m_dLength[k] = 0.0;
            }
        }
        dlg->m_dTotalSecs = lengths[reference];
        dlg->m_dCurrentSecs = lengths[reference];
        dlg->SetToolBarOpen();
        dlg->m_wndSeekBar->setEnabled(true);
        dlg->m_wndVolume->setEnabled(true);
    }

    void ClearCalls() {
        for (auto& s : scripts) {
            if (s) {
                s->calls.clear();
            }
        }
    }

    QTemporaryDir m_config;
    MessageBoxRecorder boxes;
    std::array<std::shared_ptr<ChannelScript>, 4> scripts;
    std::unique_ptr<CTetravDlg> dlg;
};

} // namespace mainwnd_test
