#pragma once
// The real window shown with the project's clips (made by scripts/make-clips.sh): a set opened
// by pane, and the states the tests read back (status texts, the idle window, popups shown).
#include "WindowTestSupport.h"

#include "controls/CToolBarXP.h"
#include "mainwnd/CStatusBar.h"
#include "support/TestEnv.h"
#include "uikit/CBCGPControlIds.h"

#include <QFileInfo>
#include <QTimer>

#include <functional>
#include <initializer_list>
#include <utility>

namespace mainwnd_test {

using tetrav::test::clip;

// Nothing open and no timer running; only 打开文件 can be used.
inline bool IsIdle(const CTetravDlg& d) {
    for (int i = 0; i < 4; ++i) {
        if (d.m_pChannel[i] != nullptr || !g_strVideoPath[i].isEmpty()) {
            return false;
        }
    }
    return !d.IsTimerRunning(TIMER_SYNC) && !d.IsTimerRunning(TIMER_DISPLAY) &&
           !d.m_wndToolBar->IsButtonEnabled(ID_TB_PLAY) && d.m_wndToolBar->IsButtonEnabled(ID_TB_OPEN) &&
           !d.m_wndSeekBar->isEnabled() && !d.m_wndVolume->isEnabled();
}

// Where the popup menu that act opens appears (closed again at once); (-1, -1) when none does.
inline QPoint PopupShownBy(QObject* context, const std::function<void()>& act) {
    QPoint shownAt(-1, -1);
    QTimer::singleShot(300, context, [&] {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            shownAt = popup->pos();
            popup->close();
        }
    });
    act();
    WaitFor([&] { return shownAt != QPoint(-1, -1); }, 1000);
    return shownAt;
}

class ClipWindowTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        if (!QFileInfo::exists(clip("sync_vp8.webm"))) {
            GTEST_SKIP() << "clips missing: run scripts/make-clips.sh into "
                         << tetrav::test::clipsDir().toStdString();
        }
        ShowWindow();
        g_settings.MiniVideo = 1;
    }
    // Puts each file (a clip's name, or a full path) in its pane and opens the set.
    void Open(std::initializer_list<std::pair<int, QString>> entries) {
        for (const auto& [pane, name] : entries) {
            g_strVideoPath[pane] = name.startsWith('/') ? name : clip(name);
        }
        dlg->OpenSelectedFiles();
    }
    QString Status(int part) const { return dlg->m_wndStatusBar->GetText(part); }
    bool Idle() const { return IsIdle(*dlg); }
};

} // namespace mainwnd_test
