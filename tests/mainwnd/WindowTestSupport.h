#pragma once
// The main-window tests' fixtures: private settings, recorded boxes, scripted channels or clips.
#include "support/ScriptedChannel.h"

#include "controls/CToolBarXP.h"
#include "controls/CVolumeSlider.h"
#include "controls/CXScrollBar.h"
#include "mainwnd/CStatusBar.h"
#include "mainwnd/CTetravDlg.h"
#include "mainwnd/CTetravDlgBars.h"
#include "mainwnd/CTetravDlgCapture.h"
#include "mainwnd/CTetravDlgPaneMenus.h"
#include "mainwnd/CTetravDlgSound.h"
#include "mainwnd/CTetravDlgView.h"
#include "mainwnd/CVideoPane.h"
#include "mainwnd/MainLayout.h"
#include "model/PlaySet.h"
#include "platform/MessageBoxRecorder.h"
#include "settings/CSettings.h"
#include "settings/CSettingsFile.h"
#include "settings/CSettingsModel.h"
#include "support/ChannelWait.h"
#include "support/FrameIndex.h"
#include "support/TestEnv.h"
#include "sync/CFrameSync.h"
#include "uikit/CBCGPControlIds.h"
#include "uikit/Resource.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <array>
#include <initializer_list>
#include <memory>
#include <utility>

namespace mainwnd_test {

using tetrav::test::clip;
using tetrav::test::WaitUntil;

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

// Lets the open under way (and any that waited for it) come to its end; false when it has not
// within the longest preroll bound.
inline bool WaitForOpen(const CTetravDlg& d) {
    return WaitUntil([&d] { return !d.Set().IsOpening(); }, 130000);
}

inline QStringList Paths(const CTetravDlg& d) {
    const QString* paths = d.Set().Paths();
    return QStringList(paths, paths + PlaySet::kPanes);
}

// Nothing open and no timer running; only 打开文件 can be used.
inline bool IsIdle(const CTetravDlg& d) {
    for (int i = 0; i < 4; ++i) {
        if (d.Set().Channel(i) != nullptr || !d.Set().Path(i).isEmpty()) {
            return false;
        }
    }
    return !d.IsTimerRunning(TIMER_SYNC) && !d.IsTimerRunning(TIMER_DISPLAY) &&
           !d.Bars().ToolBar()->IsButtonEnabled(ID_TB_PLAY) &&
           d.Bars().ToolBar()->IsButtonEnabled(ID_TB_OPEN) && !d.Bars().SeekBar()->isEnabled() &&
           !d.Bars().Volume()->isEnabled();
}

inline MainLayout LayoutOf(const CTetravDlg& d) {
    return ComputeMainLayout({d.Bars().ScreenWidth(), d.Bars().ScreenHeight(), d.ClientArea()->width(),
                              d.Bars().StatusBar()->y()});
}

// Every control exactly where that layout puts it; a zoomed pane over the grid, the others hidden.
inline void ExpectLaidOut(const CTetravDlg& d) {
    const MainLayout l = LayoutOf(d);
    const int zoomed = d.View().ZoomedPane();
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(d.View().Pane(i)->geometry(), i == zoomed ? l.zoomedPane : l.panes[i]) << "pane " << i + 1;
        EXPECT_EQ(d.View().Pane(i)->isVisible(), zoomed < 0 || i == zoomed) << "pane " << i + 1;
        EXPECT_EQ(d.Bars().StatusBar()->RightEdge(i), l.statusEdges[i]) << "status part " << i + 1;
    }
    EXPECT_EQ(d.Bars().ToolBar()->geometry(), l.toolBar);
    EXPECT_EQ(d.Bars().Volume()->geometry(), l.volume);
    EXPECT_EQ(d.Bars().SeekBar()->geometry(), l.seekBar);
    EXPECT_EQ(d.Bars().SeekBar()->m_rectClient, QRect(0, 0, l.seekBar.width(), 10));
    EXPECT_EQ(d.Bars().StatusBar()->geometry().bottom(), d.ClientArea()->height() - 1);
    EXPECT_EQ(d.Bars().StatusBar()->width(), d.ClientArea()->width());
    EXPECT_LE(d.Bars().ToolBar()->geometry().bottom(), d.Bars().StatusBar()->y());
}

class MainWindowTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
        qputenv("XDG_STATE_HOME", m_state.path().toLocal8Bit()); // the recent sets
        WriteSettings();
        dlg = std::make_unique<CTetravDlg>();
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
        dlg->Set().SetChannelFactory(
            [this](int k) { return std::make_unique<ScriptedChannel>(scripts[std::size_t(k)]); });
    }

    // A set in place as the open command leaves it, without probing: lengths[k] <= 0 = no channel.
    void InstallScriptedSet(std::array<double, 4> lengths, int reference, int miniVideo) {
        g_settings.MiniVideo = static_cast<std::int8_t>(miniVideo);
        dlg->Set().SetOpenCount(0);
        for (int k = 0; k < 4; ++k) {
            scripts[k] = std::make_shared<ChannelScript>();
            scripts[k]->length = lengths[k];
            dlg->Set().SetLength(k, std::max(lengths[k], 0.0));
            if (lengths[k] > 0) {
                dlg->Set().SetChannel(k, std::make_unique<ScriptedChannel>(scripts[k]));
                dlg->Set().SetPath(k, QStringLiteral("/scripted/%1.mp4").arg(k));
                dlg->Set().SetOpenCount(dlg->Set().OpenCount() + 1);
            }
        }
        dlg->Set().SetReference(reference);
        dlg->Set().SetTotalTime(lengths[reference]);
        dlg->Set().SetPlayTime(lengths[reference]);
        dlg->Bars().SetToolBarOpen();
        dlg->Bars().SeekBar()->setEnabled(true);
        dlg->Bars().Volume()->setEnabled(true);
    }

    QString Status(int part) const { return dlg->Bars().StatusBar()->GetText(part); }

    // Stores a sync mode (1 frame, 0 time) as the options dialog does; the window follows it.
    void StoreSyncMode(int mode) {
        CSettings stored = dlg->Settings().Stored();
        stored.FramePhase = static_cast<std::int8_t>(mode);
        dlg->Settings().Store(stored);
    }

    QTemporaryDir m_config;
    QTemporaryDir m_state;
    MessageBoxRecorder boxes;
    std::array<std::shared_ptr<ChannelScript>, 4> scripts;
    std::unique_ptr<CTetravDlg> dlg;
};

class ClipWindowTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        if (!QFileInfo::exists(clip("sync_h264_late.mp4"))) { // the last one made
            GTEST_SKIP() << "clips missing: run scripts/make-clips.sh";
        }
        ShowWindow();
        g_settings.MiniVideo = 1;
    }
    // Puts each file (a clip's name, or a full path) in its pane and opens the set.
    void Open(std::initializer_list<std::pair<int, QString>> entries) {
        for (const auto& [pane, name] : entries) {
            dlg->Set().SetPath(pane, name.startsWith('/') ? name : clip(name));
        }
        dlg->OpenSelectedFiles();
        ASSERT_TRUE(WaitForOpen(*dlg));
    }
    // Opens the clips named in panes 1 to 4 (nullptr: empty); each named one must open, with its
    // picture. Call it inside ASSERT_NO_FATAL_FAILURE: a test goes no further on a failed open.
    void OpenClips(const std::array<const char*, 4>& clips) {
        for (int k = 0; k < 4; ++k) {
            dlg->Set().SetPath(k, clips[k] ? clip(QString::fromLatin1(clips[k])) : QString());
        }
        dlg->OpenSelectedFiles();
        ASSERT_TRUE(WaitForOpen(*dlg));
        for (int k = 0; k < 4; ++k) {
            const IChannel* channel = dlg->Set().Channel(k);
            ASSERT_EQ(channel != nullptr && channel->VideoWidget() != nullptr, clips[k] != nullptr)
                << "pane " << k + 1 << "; messages: " << boxes.texts().join(" | ").toStdString();
        }
    }
    // In frame sync: runs the command (if any), waits until it has gone through and the pictures are up.
    void Settle(void (CTetravDlg::*command)() = nullptr) {
        if (command != nullptr) {
            (dlg.get()->*command)();
        }
        auto* sync = dynamic_cast<CFrameSync*>(&dlg->ActiveSync());
        ASSERT_NE(sync, nullptr);
        ASSERT_TRUE(WaitUntil([sync] { return !sync->Busy(); }, 8000));
        QTest::qWait(150);
    }
    // Until no open channel has a state change, seek or frame step in progress.
    void WaitChannelsSettled() {
        for (int k = 0; k < PlaySet::kPanes; ++k) {
            if (IChannel* channel = dlg->Set().Channel(k)) {
                ASSERT_TRUE(tetrav::test::WaitSettled(*channel, 8000)) << "pane " << k + 1;
            }
        }
    }
    void GoTo(double seconds) {
        g_dGotoSecs = seconds;
        Settle(&CTetravDlg::OnGotoPosition);
    }
    // Drags urls over the window and drops them at pos (window coordinates), as a file manager
    // does; true if accepted.
    bool Drop(const QList<QUrl>& urls, QPoint pos) {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(pos, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(dlg.get(), &enter);
        if (!enter.isAccepted()) {
            return false;
        }
        QDropEvent drop(QPointF(pos), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(dlg.get(), &drop);
        // The set opens once the drop has ended (a queued call).
        QApplication::processEvents();
        return drop.isAccepted();
    }
    // Over the tool bar: off the panes, where a drop opens a set.
    QPoint OverToolBar() const { return dlg->Bars().ToolBar()->mapTo(dlg.get(), QPoint(2, 2)); }
    // The frame number pane shows (-1: unreadable, or no channel there).
    int FrameOf(int pane) const {
        IChannel* channel = dlg->Set().Channel(pane);
        return channel != nullptr ? enginetest::frameShownBy(channel->VideoWidget()) : -1;
    }
};

} // namespace mainwnd_test
