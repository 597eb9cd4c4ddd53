// The real program on a private 1280 x 1024 desktop, driven as a user or a screen reader would:
// through AT-SPI, the keyboard, and screenshots taken from outside.
#include "e2e/PaneCheck.h"
#include "e2e/SetSession.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <csignal>
#include <memory>
#include <optional>

namespace {

using namespace tetrav::test;
using enginetest::frameNumberIn;

const QStringList kToolButtons = {"播放",     "暂停播放", "停止播放", "倒回播放",
                                  "恢复播放", "快速播放", "打开文件"};
const QStringList kPanes = {"视频一", "视频二", "视频三", "视频四"};
const QStringList kClips = {"a_6s.mp4", "b_4s.mp4", "c_10s.mp4", "d_20s.mp4"};
const QStringList kBoxes = {"第一个视频文件", "第二个视频文件", "第三个视频文件", "第四个视频文件"};
const QString kButton = QStringLiteral("push button");
const QString kDialog = QStringLiteral("dialog");

class TetravDesktopTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_s.ready()); }
    void TearDown() override { m_s.expectCleanEnd(HasFailure()); }

    void startProgram(const QStringList& arguments, const QString& settings = {}) {
        const QString why = m_s.start(arguments, settings);
        ASSERT_TRUE(why.isEmpty()) << qPrintable(why);
    }
    bool waitEnabled(const QString& name) {
        return WaitUntil([&] { return m_s.refreshed() && m_s.enabled(name); }, 15000, 100);
    }
    static void pause(int ms) {
        WaitUntil([] { return false; }, ms);
    }
    void xdotool(const QStringList& arguments) {
        QString why;
        EXPECT_TRUE(m_s.xdotool(arguments, &why)) << qPrintable(why);
    }
    // Whether a text of the status bar matches the pattern.
    bool statusShows(const QString& pattern) {
        return !m_s.statusTexts().filter(QRegularExpression(pattern)).isEmpty();
    }

    // Presses the control and waits for the dialog it opens.
    void openDialog(const QString& control, const QString& role, const QString& dialog) {
        ASSERT_TRUE(m_s.act(control, role));
        ASSERT_TRUE(m_s.waitFor(dialog, kDialog)) << qPrintable(dialog);
    }
    void openFileSelection() { openDialog("打开文件", kButton, "选择播放文件"); }

    // In the file selection dialog: the Open button of the slot (0..3), then the path typed into
    // the file-open dialog and Enter, as a user at the keyboard does.
    void pickFile(int slot, const QString& path) {
        const QString button = QStringLiteral("打开(%1)").arg(QChar('A' + slot));
        SCOPED_TRACE(qPrintable(button));
        ASSERT_TRUE(m_s.waitFor(button, kButton, 5000) && m_s.act(button, kButton));
        ASSERT_TRUE(m_s.waitFor("打开", kDialog));
        // Qt's own dialog speaks Chinese too (the program installs Qt's translations).
        EXPECT_TRUE(m_s.find("取消", kButton) && !m_s.find("Cancel", kButton))
            << "Qt's file dialog in English";
        pause(300); // the file name box takes the focus when the dialog is shown
        xdotool({"type", "--delay", "5", path});
        xdotool({"key", "Return"});
        EXPECT_TRUE(WaitUntil([&] { return m_s.text(kBoxes[slot]) == path; }, 5000, 100));
    }

    // Presses a button of the dialog and waits until the dialog has gone.
    void closeDialog(const QString& dialog, const QString& button) {
        ASSERT_TRUE(m_s.act(button, kButton)); // a set opens before it returns
        ASSERT_TRUE(m_s.waitFor(dialog, kDialog, 15000, false)) << qPrintable(dialog);
    }
    void closeFileSelection(const QString& button) { closeDialog(QStringLiteral("选择播放文件"), button); }

    // Two screenshots of the desktop, one and two seconds from now.
    void takeTwoShots(QImage (&shots)[2]) {
        for (QImage& shot : shots) {
            pause(1000);
            shot = m_s.screen();
            ASSERT_FALSE(shot.isNull());
        }
    }

    // The part of the screen a window of the program covers must show a painted window (more than
    // a few colours). With TETRAV_HELP_SHOTS naming a folder (scripts/make-help-shots.sh), the
    // picture is kept there for the help.
    void windowShot(const QString& windowName, const QString& role, const QString& fileName) {
        pause(300); // let it finish painting
        const QImage screen = m_s.screen();
        const QRect area = m_s.extents(windowName, role) & screen.rect();
        ASSERT_FALSE(area.isEmpty()) << qPrintable(windowName) << " has no extents on the screen";
        const QImage shot = screen.copy(area);
        QSet<QRgb> colours;
        for (int y = 0; y < shot.height(); y += 3) {
            for (int x = 0; x < shot.width(); x += 3) {
                colours.insert(shot.pixel(x, y));
            }
        }
        EXPECT_GT(colours.size(), 8) << qPrintable(windowName) << " is not painted on the screen";
        const QString folder = qEnvironmentVariable("TETRAV_HELP_SHOTS");
        if (!folder.isEmpty()) {
            const QImage kept = shot.width() > 900 ? shot.scaledToWidth(900, Qt::SmoothTransformation) : shot;
            EXPECT_TRUE(kept.save(QDir(folder).filePath(fileName))) << qPrintable(fileName);
        }
    }

    // Ends the program with the Escape key typed at the keyboard (XTEST), as a user would.
    void endWithEscape() {
        ASSERT_TRUE(m_s.focus());
        pause(300);
        xdotool({"key", "Escape"});
        ASSERT_TRUE(m_s.program().waitForExit(10000)) << "Escape did not end the program within 10 s";
        EXPECT_TRUE(m_s.program().exitedWith(0)) << m_s.program().describe();
    }

    SetSession m_s;
};

// Four clips on the command line, the first under a path with spaces and Chinese characters.
// Three frame steps at the keyboard, then the default hot keys Ctrl+Shift+C and D (XTEST) write
// panes 3 and 4's pictures, at the video's size and showing the pane's frame. Play pressed through
// AT-SPI: the play time and the positions run; Escape ends the program cleanly. (An empty pane's
// hot key writes nothing: SnapshotTest. Every pane moving, in step: the command walk, SetWalkTest.)
TEST_F(TetravDesktopTest, PlaysFourClipsFromTheCommandLineAndSnapshotsByHotKey) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid() && QDir(dir.path()).mkpath(QStringLiteral("我的 视频")));
    QStringList clips = {dir.filePath(QStringLiteral("我的 视频/第一段 片子.mp4"))};
    ASSERT_TRUE(QFile::copy(clip(kClips[0]), clips[0])) << qPrintable(clip(kClips[0]));
    clips << clip(kClips[1]) << clip(kClips[2]) << clip(kClips[3]);
    const QString folder = dir.filePath(QStringLiteral("shots"));
    QString text = QStringLiteral("[FramePhase]\nFramePhaseNumber=1\n[MiniVideo]\nMiniVideoNumber=1\n"
                                  "[ForeView]\nForeViewNumber=0\n[SaveMapPath]\nSaveMapPathNumber=%1\n")
                       .arg(folder);
    for (int n = 1; n <= 4; ++n) {
        text += QStringLiteral("[VirtualCode%1]\nVirtualCodeNumber=%2\n[Modifiers%1]\nModifiersNumber=6\n")
                    .arg(n)
                    .arg(64 + n);
    }
    ASSERT_NO_FATAL_FAILURE(startProgram(clips, text));
    ASSERT_TRUE(waitEnabled("播放"));
    // The total time is the reference clip's length: the shortest (4 s), as the settings choose.
    EXPECT_TRUE(statusShows("^00:00:04$")) << qPrintable(m_s.statusTexts().join('|'));

    ASSERT_TRUE(m_s.focus());
    pause(300);
    xdotool({"key", "--delay", "300", "Right", "Right", "Right"});
    pause(800);
    const QImage screen = m_s.screen();
    const int shown = frameNumberIn(screen, lookAt(screen, m_s.extents(kPanes[2])).picture);
    EXPECT_EQ(shown, 3) << "three frame steps";
    xdotool({"key", "ctrl+shift+c"});
    xdotool({"key", "ctrl+shift+d"});
    const auto bitmaps = [&] { return QDir(folder).entryList({QStringLiteral("*.bmp")}, QDir::Files); };
    WaitUntil([&] { return bitmaps().size() >= 2; }, 5000);
    pause(500); // time for a third file, which must not come
    const QStringList files = bitmaps();
    ASSERT_EQ(files.size(), 2) << qPrintable(files.join(QLatin1Char(' ')));
    for (int k = 0; k < 2; ++k) {
        EXPECT_TRUE(
            QRegularExpression(QStringLiteral("^0%1_\\d{17}\\.bmp$").arg(k + 3)).match(files[k]).hasMatch())
            << qPrintable(files[k]);
        const QString path = QDir(folder).filePath(files[k]);
        EXPECT_EQ(QFileInfo(path).size(), 230454);
        const QImage shot(path);
        ASSERT_EQ(shot.size(), QSize(320, 240));
        EXPECT_EQ(frameNumberIn(shot), shown);
    }

    ASSERT_TRUE(m_s.act("播放")) << "the Press action of 播放 failed";
    // Two seconds in (the shortest clip, and so the set, may end four seconds after play): the play
    // time and every channel's whole-second position say 1 to 3.
    pause(2000);
    ASSERT_NO_FATAL_FAILURE(windowShot("Tetrav", kDialog, "main.png"));
    EXPECT_TRUE(statusShows("^开始播放$"));
    EXPECT_TRUE(statusShows("^00:00:0[1-3]$"));
    EXPECT_TRUE(statusShows("^[1-3],[1-3],[1-3],[1-3]$"));
    endWithEscape();
}

// The dialogs as a user and a screen reader see them. Options and About from the menus: every
// control named, a choice made through AT-SPI saved on OK. The idle window names every tool bar
// button (only 打开文件 enabled), its black panes and its status texts. Slots 1 and 4 typed into
// the file-open dialog, OK, play: panes 1 and 4 play, panes 2 and 3 stay black. (Cancelling the
// file selection: FileSelectDlgTest and OpenPlayTest; where the panes lie: MainWindowTest.)
TEST_F(TetravDesktopTest, DialogsOpenOnlyTheClipsPickedAndNameEveryControl) {
    ASSERT_NO_FATAL_FAILURE(startProgram({}));
    // The item's name carries its shortcut after a tab.
    const auto optionsItem = std::find_if(m_s.tree().begin(), m_s.tree().end(), [](const AccessibleNode& n) {
        return n.role == QLatin1String("menu item") && n.name.startsWith(QStringLiteral("选项(X)"));
    });
    ASSERT_NE(optionsItem, m_s.tree().end());
    ASSERT_TRUE(m_s.atspi().doAction(*optionsItem, QStringLiteral("Press")));
    ASSERT_TRUE(m_s.waitFor("选择", kDialog));
    const QStringList named = {"Tetrav 选项",  "抓图保存位置", "选择",     "同步选项",     "帧同步",
                               "时间同步",     "播放基准",     "最短视频", "最长视频",     "显示模式",
                               "最前显示",     "标准显示",     "抓图设置", "视频一快捷键", "视频二快捷键",
                               "视频三快捷键", "视频四快捷键", "分隔线",   "确定(O)",      "放弃(C)"};
    for (const QString& name : named) {
        EXPECT_TRUE(m_s.find(name).has_value()) << qPrintable(name);
    }
    ASSERT_NO_FATAL_FAILURE(windowShot("选择", kDialog, "options.png"));
    EXPECT_EQ(m_s.text("视频三快捷键"), QStringLiteral("Ctrl + Shift + C"));
    // A checkable button toggles.
    ASSERT_TRUE(m_s.act("时间同步", "radio button", QStringLiteral("Toggle")));
    ASSERT_NO_FATAL_FAILURE(closeDialog("选择", "确定(O)"));
    const QByteArray saved = readAll(m_s.configPath(QStringLiteral("tetrav/TetravSet.ini")));
    EXPECT_TRUE(saved.contains("[FramePhase]\nFramePhaseNumber=0\n")) << saved.constData();
    EXPECT_TRUE(saved.contains("[VirtualCode3]\nVirtualCodeNumber=67\n")) << saved.constData();

    ASSERT_NO_FATAL_FAILURE(openDialog("关于", "menu item", "关于Tetrav"));
    for (const QString& name :
         QStringList{"横幅", "分隔线", "Tetrav 图标", "Tetrav  V1.3.2.1121", "更多技术支持(H)", "确定 "}) {
        EXPECT_TRUE(m_s.find(name).has_value()) << qPrintable(name);
    }
    ASSERT_NO_FATAL_FAILURE(windowShot("关于Tetrav", kDialog, "about.png"));
    ASSERT_NO_FATAL_FAILURE(closeDialog("关于Tetrav", "确定 "));

    for (const QString& name : kToolButtons) {
        const auto button = m_s.find(name);
        ASSERT_TRUE(button.has_value()) << qPrintable(name);
        EXPECT_TRUE(button->role.contains(QLatin1String("button"))) << qPrintable(name);
        EXPECT_EQ(m_s.enabled(name), name == "打开文件") << qPrintable(name);
    }
    const QImage screen = m_s.screen();
    ASSERT_FALSE(screen.isNull());
    QRect panes[4];
    for (int k = 0; k < 4; ++k) {
        panes[k] = m_s.extents(kPanes[k]);
        EXPECT_LT(lookAt(screen, panes[k]).nonBlack, 0.01) << qPrintable(kPanes[k]);
    }
    for (const char* text : {"^提示信息$", "^总时间$", "^播放时间$", "^同步信息$"}) {
        EXPECT_TRUE(statusShows(text));
    }

    ASSERT_NO_FATAL_FAILURE(openFileSelection());
    ASSERT_NO_FATAL_FAILURE(pickFile(0, clip(kClips[0])));
    ASSERT_NO_FATAL_FAILURE(pickFile(3, clip(kClips[3])));
    ASSERT_NO_FATAL_FAILURE(windowShot("选择播放文件", kDialog, "fileselect.png"));
    ASSERT_NO_FATAL_FAILURE(closeFileSelection("确定(O)"));
    ASSERT_TRUE(waitEnabled("播放"));
    ASSERT_TRUE(m_s.act("播放"));
    QImage shots[2];
    ASSERT_NO_FATAL_FAILURE(takeTwoShots(shots));
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(qPrintable(kPanes[k]));
        const PaneLook look = lookAt(shots[1], panes[k]);
        const int changed = changedPixels(shots[0], shots[1], panes[k]);
        if (k == 0 || k == 3) {
            EXPECT_GT(look.nonBlack, 0.05);
            EXPECT_GE(changed, 50) << "the picture did not move";
        } else {
            EXPECT_LT(look.nonBlack, 0.01);
            EXPECT_EQ(changed, 0);
        }
    }
    endWithEscape();
}

} // namespace

// A set opening while the desktop asks to play: three clips and one whose preroll gets nowhere
// (it takes the whole stall bound). While it opens, the window answers the screen reader and shows
// its controls disabled; a Play from the media keys (MPRIS) waits, is answered once the set is open,
// and the set plays; what only reads (introspection, properties) is answered during the open. The broken
// file's messages are dismissed as a user would.
TEST_F(TetravDesktopTest, APlayFromTheDesktopWhileASetOpensIsCarriedOutOnceItIsOpen) {
    ASSERT_NO_FATAL_FAILURE(
        startProgram({clip("bad/no_moov.mp4"), clip(kClips[0]), clip(kClips[1]), clip(kClips[2])}));
    // The open is under way: the tool bar takes no command (its open button is disabled), or the
    // broken file's first box is up (the open ends only once its boxes are closed).
    const auto boxUp = [&] {
        return m_s.find("OK", kButton).has_value() || m_s.find("确定", kButton).has_value();
    };
    ASSERT_TRUE(WaitUntil(
        [&] {
            m_s.refresh();
            return m_s.find("打开文件", kButton).has_value() && (!m_s.enabled("打开文件") || boxUp());
        },
        20000, 50))
        << "the open was not seen under way";
    QProcess play;
    play.start("gdbus", {"call", "--address", m_s.busAddress(), "--timeout", "120", "--dest",
                         "org.mpris.MediaPlayer2.tetrav", "--object-path", "/org/mpris/MediaPlayer2",
                         "--method", "org.mpris.MediaPlayer2.Player.Play"});
    ASSERT_TRUE(play.waitForStarted());
    // Meanwhile the window answers what does not act on the set: the introspection that gdbus and
    // desktop shells ask for first, and a property read. The open cannot end before the broken
    // file's boxes are closed below, so the Play is still waiting.
    const QStringList object = {"--address",     m_s.busAddress(),
                                "--dest",        "org.mpris.MediaPlayer2.tetrav",
                                "--object-path", "/org/mpris/MediaPlayer2"};
    for (const QStringList& ask : {QStringList{"introspect"} + object,
                                   QStringList{"call"} + object +
                                       QStringList{"--method", "org.freedesktop.DBus.Properties.Get",
                                                   "org.mpris.MediaPlayer2.Player", "PlaybackStatus"}}) {
        QProcess read;
        read.start("gdbus", ask);
        ASSERT_TRUE(read.waitForFinished(40000));
        EXPECT_EQ(read.exitCode(), 0)
            << ask.constFirst().toStdString() << ": " << read.readAllStandardError().constData();
        EXPECT_EQ(play.state(), QProcess::Running) << "the Play was answered while the set was opening";
    }
    // The broken file's boxes come at the end of the open; each is closed with its OK button.
    int boxes = 0;
    const bool answered = WaitUntil(
        [&] {
            if (play.state() == QProcess::NotRunning) {
                return true;
            }
            m_s.refresh();
            for (const QString& ok : {QStringLiteral("OK"), QStringLiteral("确定")}) {
                if (m_s.act(ok, kButton)) {
                    ++boxes;
                }
            }
            return false;
        },
        60000, 200);
    ASSERT_TRUE(answered) << "Play was not answered";
    EXPECT_EQ(play.exitCode(), 0) << play.readAllStandardError().constData();
    EXPECT_GE(boxes, 1) << "the broken file was not reported";
    EXPECT_TRUE(WaitUntil(
        [&] {
            m_s.refresh();
            return statusShows("^开始播放$");
        },
        5000, 100))
        << "the set does not play";
    endWithEscape();
}

namespace {

// Ending the program (a signal, as when the session logs out) while the open of a set reports a
// broken file ends it cleanly: the open under way is dropped with its message.
TEST_F(TetravDesktopTest, ASignalWhileAnOpenReportsABrokenFileEndsTheProgramCleanly) {
    ASSERT_NO_FATAL_FAILURE(startProgram({clip("bad/no_moov.mp4"), clip(kClips[0])}));
    ASSERT_TRUE(WaitUntil(
        [&] {
            m_s.refresh();
            return m_s.find("OK", kButton).has_value() || m_s.find("确定", kButton).has_value();
        },
        30000, 100))
        << "the broken file was not reported";
    m_s.program().signal(SIGTERM);
    ASSERT_TRUE(m_s.program().waitForExit(10000)) << m_s.program().describe();
    EXPECT_TRUE(m_s.program().exitedWith(0)) << m_s.program().describe();
}

} // namespace
