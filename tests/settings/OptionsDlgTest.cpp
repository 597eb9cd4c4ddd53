// The options dialog against real settings files: what it shows for every value a file can
// hold, what OK writes back (all twelve entries and the record), the hot key controls both ways,
// the folder chooser's answers, Cancel, and files that cannot be written or vanish while the
// dialog is open.
#include "platform/CProfileFile.h"
#include "platform/MessageBoxRecorder.h"
#include "settings/COptionsDlg.h"
#include "settings/CSettings.h"
#include "settings/CSettingsFile.h"
#include "support/FileBytes.h"
#include "uikit/CBCGPControlIds.h"
#include "uikit/CHotKeyCtrl.h"
#include "uikit/Resource.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <memory>
#include <tuple>

namespace {

using tetrav::test::readAll;
using tetrav::test::writeAll;

const char* const kDefaultFile =
    "[FramePhase]\nFramePhaseNumber=1\n[MiniVideo]\nMiniVideoNumber=1\n"
    "[ForeView]\nForeViewNumber=0\n[SaveMapPath]\nSaveMapPathNumber=/home/u/SavePic/\n"
    "[VirtualCode1]\nVirtualCodeNumber=65\n[Modifiers1]\nModifiersNumber=6\n"
    "[VirtualCode2]\nVirtualCodeNumber=66\n[Modifiers2]\nModifiersNumber=6\n"
    "[VirtualCode3]\nVirtualCodeNumber=67\n[Modifiers3]\nModifiersNumber=6\n"
    "[VirtualCode4]\nVirtualCodeNumber=68\n[Modifiers4]\nModifiersNumber=6\n";

class OptionsDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_config.isValid());
        m_oldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
        g_settings = CSettings{};
        m_previousPicker =
            COptionsDlg::SetFolderPicker([this](QWidget*, const QString& title, const QString&) {
                m_pickerTitles << title;
                return m_pickerAnswer;
            });
    }
    void TearDown() override {
        m_dlg.reset();
        COptionsDlg::SetFolderPicker(m_previousPicker);
        qputenv("XDG_CONFIG_HOME", m_oldConfig);
    }

    QString iniPath() const { return m_config.path() + "/tetrav/TetravSet.ini"; }
    QString entry(const QString& section, const QString& key) const {
        return CProfileFile(iniPath()).getString(section, key, "<missing>");
    }

    // Opens the dialog as the main window does (its initialisation loads the file).
    void open() {
        m_dlg = std::make_unique<COptionsDlg>();
        m_dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dlg.get()));
    }
    QPushButton* button(int id) const { return qobject_cast<QPushButton*>(GetDlgItem(m_dlg.get(), id)); }
    QRadioButton* radio(int id) const { return qobject_cast<QRadioButton*>(GetDlgItem(m_dlg.get(), id)); }
    QString folderShown() const {
        return qobject_cast<QLineEdit*>(GetDlgItem(m_dlg.get(), IDC_SAVE_PATH))->text();
    }
    void press(int id) {
        button(id)->click();
        QApplication::processEvents();
    }
    // The first button of each radio pair checked or not, and its partner the other way.
    void expectRadios(bool frameSync, bool shortest, bool topmost) const {
        const std::tuple<int, int, bool> pairs[] = {{IDC_FRAME_SYNC, IDC_TIME_SYNC, frameSync},
                                                    {IDC_SHORTEST, IDC_LONGEST, shortest},
                                                    {IDC_TOPMOST, IDC_STANDARD, topmost}};
        for (const auto& [first, second, checked] : pairs) {
            EXPECT_EQ(radio(first)->isChecked(), checked) << first;
            EXPECT_EQ(radio(second)->isChecked(), !checked) << second;
        }
    }
    // The key code and modifiers written for each pane.
    void expectHotKeyEntries(const std::array<std::pair<int, int>, 4>& written) const {
        for (int n = 0; n < 4; ++n) {
            const QString pane = QString::number(n + 1);
            EXPECT_EQ(entry("VirtualCode" + pane, "VirtualCodeNumber"), QString::number(written[n].first))
                << n;
            EXPECT_EQ(entry("Modifiers" + pane, "ModifiersNumber"), QString::number(written[n].second)) << n;
        }
    }

    QTemporaryDir m_config;
    QByteArray m_oldConfig;
    std::unique_ptr<COptionsDlg> m_dlg;
    COptionsDlg::FolderPicker m_previousPicker;
    QString m_pickerAnswer;
    QStringList m_pickerTitles;
};

TEST_F(OptionsDlgTest, DefaultFileShowsItsValuesAndOkWritesThemBackUnchanged) {
    writeAll(iniPath(), kDefaultFile);
    open();
    EXPECT_EQ(m_dlg->windowTitle(), "选择");
    expectRadios(true, true, false);
    EXPECT_EQ(folderShown(), "/home/u/SavePic/");
    const char* const shown[4] = {"Ctrl + Shift + A", "Ctrl + Shift + B", "Ctrl + Shift + C",
                                  "Ctrl + Shift + D"};
    for (int n = 0; n < 4; ++n) {
        EXPECT_EQ(m_dlg->m_hotKey[n]->text(), shown[n]);
    }
    press(IDOK);
    EXPECT_FALSE(m_dlg->isVisible());
    EXPECT_EQ(readAll(iniPath()), QByteArray(kDefaultFile));
    EXPECT_EQ(std::tie(g_settings.FramePhase, g_settings.MiniVideo, g_settings.ForeView),
              std::tuple(1, 1, 0));
    EXPECT_EQ(g_settings.SaveMapPath, "/home/u/SavePic/");
}

// Any value that atoi makes non-zero selects the first button; OK writes what is selected.
struct OddValue {
    const char* text; // nullptr: the key is missing
    bool first;
};

std::string OddValueName(const testing::TestParamInfo<OddValue>& info) {
    static const char* const names[] = {
        "Zero", "One", "Two", "TwoFiftySix", "MinusOne", "Text", "LeadingBlankAndTail", "Missing", "Empty"};
    return names[info.index];
}

class OptionsOddValueTest : public OptionsDlgTest, public testing::WithParamInterface<OddValue> {};

TEST_P(OptionsOddValueTest, SelectsByTheDialogsOwnRuleAndOkWritesOneOrZero) {
    const OddValue v = GetParam();
    const QByteArray value = v.text ? QByteArray(v.text) : QByteArray();
    QByteArray file;
    for (const char* name : {"FramePhase", "MiniVideo", "ForeView"}) {
        file += QByteArray("[") + name + "]\n";
        if (v.text) {
            file += QByteArray(name) + "Number=" + value + "\n";
        }
    }
    writeAll(iniPath(), file);
    open();
    expectRadios(v.first, v.first, v.first);
    press(IDOK);
    for (const QString name : {"FramePhase", "MiniVideo", "ForeView"}) {
        EXPECT_EQ(entry(name, name + "Number"), v.first ? "1" : "0");
    }
    EXPECT_EQ(g_settings.FramePhase, v.first ? 1 : 0);
    EXPECT_EQ(g_settings.ForeView, v.first ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Values, OptionsOddValueTest,
                         testing::Values(OddValue{"0", false}, OddValue{"1", true}, OddValue{"2", true},
                                         OddValue{"256", true}, OddValue{"-1", true}, OddValue{"text", false},
                                         OddValue{" 7x", true}, OddValue{nullptr, true}, OddValue{"", false}),
                         OddValueName);

// File flags (Alt 1, Ctrl 2, Shift 4) against what the control shows and writes back.
struct HotKeyCase {
    int vk;
    int fileModifiers;
    const char* shown;
};

TEST_F(OptionsDlgTest, HotKeysConvertBetweenFileAndControlBothWays) {
    const HotKeyCase cases[4] = {
        {116, 3, "Ctrl + Alt + F5"},
        {0x31, 5, "Shift + Alt + 1"},
        {0x70, 8, "F1"}, // the Win key has no place in the control: written as 0
        {0, 0, "无"},
    };
    QByteArray file;
    for (int n = 0; n < 4; ++n) {
        file += QStringLiteral("[VirtualCode%1]\nVirtualCodeNumber=%2\n[Modifiers%1]\nModifiersNumber=%3\n")
                    .arg(n + 1)
                    .arg(cases[n].vk)
                    .arg(cases[n].fileModifiers)
                    .toUtf8();
    }
    writeAll(iniPath(), file);
    open();
    for (int n = 0; n < 4; ++n) {
        EXPECT_EQ(m_dlg->m_hotKey[n]->text(), cases[n].shown) << "pane " << n + 1;
    }
    EXPECT_EQ(m_dlg->m_hotKey[0]->GetHotKeyWord(),
              116u | (CHotKeyCtrl::HOTKEYF_CONTROL | CHotKeyCtrl::HOTKEYF_ALT) << 8);
    press(IDOK);
    expectHotKeyEntries({{{116, 3}, {0x31, 5}, {0x70, 0}, {0, 0}}});
}

TEST_F(OptionsDlgTest, HotKeysTypedIntoTheControlsAreWrittenForTheirPane) {
    writeAll(iniPath(), kDefaultFile);
    open();
    const auto& pane = m_dlg->m_hotKey;
    pane[2]->setFocus();
    QTest::keyClick(pane[2], Qt::Key_F5, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(pane[2]->text(), "Ctrl + Alt + F5");
    QTest::keyClick(pane[0], Qt::Key_Q);
    EXPECT_NE(pane[0]->text(), "Q") << "a lone letter would be taken from every program";
    QTest::keyClick(pane[0], Qt::Key_Exclam, Qt::ShiftModifier); // Shift+1 on the usual layout
    EXPECT_EQ(pane[0]->text(), "Shift + 1");
    QTest::keyClick(pane[1], Qt::Key_O, Qt::AltModifier);
    EXPECT_TRUE(m_dlg->isVisible()) << "Alt+O, OK's mnemonic elsewhere, is a hot key here";
    EXPECT_EQ(pane[1]->text(), "Alt + O");
    QTest::keyClick(pane[3], Qt::Key_Backspace);
    EXPECT_EQ(pane[3]->text(), "无");
    press(IDOK);
    expectHotKeyEntries({{{49, 4}, {79, 1}, {116, 3}, {0, 0}}});
}

TEST_F(OptionsDlgTest, FolderChooserAnswersAreTakenWithoutATrailingSeparator) {
    writeAll(iniPath(), kDefaultFile);
    open();
    const struct {
        const char* answer;
        const char* shown;
    } answers[] = {
        {"/media/my videos/截图/", "/media/my videos/截图"},
        {"/srv/shots", "/srv/shots"},
        {"", "/srv/shots"}, // cancelled: the folder stays
        {"/", "/"},
    };
    for (const auto& a : answers) {
        m_pickerAnswer = QString::fromUtf8(a.answer);
        press(IDC_BROWSE_PATH);
        EXPECT_EQ(folderShown(), QString::fromUtf8(a.shown)) << a.answer;
    }
    EXPECT_EQ(m_pickerTitles.value(0), "请选择截图保存的目录");
    m_pickerAnswer = "/media/my videos/截图/";
    press(IDC_BROWSE_PATH);
    press(IDOK);
    EXPECT_EQ(entry("SaveMapPath", "SaveMapPathNumber"), "/media/my videos/截图");
    EXPECT_EQ(g_settings.SaveMapPath, "/media/my videos/截图");
    // The folder box cannot be typed into.
    EXPECT_TRUE(qobject_cast<QLineEdit*>(GetDlgItem(m_dlg.get(), IDC_SAVE_PATH))->isReadOnly());
}

TEST_F(OptionsDlgTest, CancelStoresNothingNotEvenAFolderPickedMeanwhile) {
    writeAll(iniPath(), kDefaultFile);
    g_settings.FramePhase = 1;
    g_settings.SaveMapPath = "/kept";
    open();
    QTest::mouseClick(radio(IDC_TIME_SYNC), Qt::LeftButton);
    QTest::mouseClick(radio(IDC_TOPMOST), Qt::LeftButton);
    QTest::keyClick(m_dlg->m_hotKey[0], Qt::Key_F9, Qt::ControlModifier);
    m_pickerAnswer = "/elsewhere";
    press(IDC_BROWSE_PATH);
    EXPECT_EQ(folderShown(), "/elsewhere");
    press(IDCANCEL);
    EXPECT_FALSE(m_dlg->isVisible());
    EXPECT_EQ(readAll(iniPath()), QByteArray(kDefaultFile));
    EXPECT_EQ(g_settings.FramePhase, 1);
    EXPECT_EQ(g_settings.SaveMapPath, "/kept");
}

// Settings files that cannot be written when OK is pressed: the box, the values kept for this
// run (the dialog opened again shows them), and the file as it was.
enum class Blocked { HugeFile, FileIsAFolder, FolderIsAFile };

std::string BlockedName(const testing::TestParamInfo<Blocked>& info) {
    static const char* const names[] = {"HugeFile", "FileIsAFolder", "FolderIsAFile"};
    return names[int(info.param)];
}

class OptionsWriteFailureTest : public OptionsDlgTest, public testing::WithParamInterface<Blocked> {};

TEST_P(OptionsWriteFailureTest, SaysSoKeepsTheValuesAndLeavesTheFile) {
    QString blocker;
    QByteArray before;
    switch (GetParam()) {
    case Blocked::HugeFile:
        blocker = iniPath();
        before = QByteArray(kDefaultFile) + QByteArray(1100 * 1024, ';');
        writeAll(blocker, before);
        break;
    case Blocked::FileIsAFolder:
        ASSERT_TRUE(QDir().mkpath(iniPath()));
        break;
    case Blocked::FolderIsAFile:
        break;
    }
    open();
    if (GetParam() == Blocked::HugeFile) {
        EXPECT_EQ(m_dlg->m_hotKey[0]->text(), "Ctrl + Shift + A") << "the head of a huge file is read";
    } else {
        EXPECT_TRUE(radio(IDC_FRAME_SYNC)->isChecked()) << "an unreadable file reads as all ones";
    }
    if (GetParam() == Blocked::FolderIsAFile) {
        // The configuration folder turns into a plain file while the dialog is open.
        blocker = m_config.filePath("blocker");
        writeAll(blocker, "x");
        before = "x";
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(blocker));
    }
    QTest::mouseClick(radio(IDC_LONGEST), Qt::LeftButton);
    QTest::keyClick(m_dlg->m_hotKey[1], Qt::Key_F7, Qt::ShiftModifier);
    m_pickerAnswer = "/srv/shots/";
    press(IDC_BROWSE_PATH);

    MessageBoxRecorder boxes;
    testing::internal::CaptureStderr();
    press(IDOK);
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].caption, "错误");
    EXPECT_EQ(boxes.boxes()[0].text, "保存设置错误!");
    EXPECT_EQ(boxes.boxes()[0].icon, MsgIcon::Error);
    EXPECT_EQ(g_settings.MiniVideo, 0);
    EXPECT_EQ(g_settings.SaveMapPath, "/srv/shots");
    if (GetParam() == Blocked::FileIsAFolder) {
        EXPECT_TRUE(QFileInfo(iniPath()).isDir());
    } else {
        EXPECT_EQ(readAll(blocker), before) << "the file is as it was";
    }

    open();
    EXPECT_TRUE(radio(IDC_LONGEST)->isChecked()) << "this run keeps the values";
    EXPECT_EQ(m_dlg->m_hotKey[1]->text(), "Shift + F7");
    EXPECT_EQ(folderShown(), "/srv/shots");
}

INSTANTIATE_TEST_SUITE_P(Files, OptionsWriteFailureTest,
                         testing::Values(Blocked::HugeFile, Blocked::FileIsAFolder, Blocked::FolderIsAFile),
                         BlockedName);

TEST_F(OptionsDlgTest, FileRemovedWhileTheDialogIsOpenIsWrittenAfreshOnOk) {
    writeAll(iniPath(), QByteArray("; my notes\n") + kDefaultFile);
    open();
    ASSERT_TRUE(QFile::remove(iniPath()));
    press(IDOK);
    EXPECT_EQ(readAll(iniPath()), QByteArray(kDefaultFile));
}

// The hot key for all panes sits below the four: an older file shows its default and is left
// as it was by OK; a key typed into it is written into its own two sections.
TEST_F(OptionsDlgTest, FifthHotKeyShowsItsDefaultAndIsWrittenOnlyOnceChanged) {
    writeAll(iniPath(), kDefaultFile);
    open();
    CHotKeyCtrl* all = qobject_cast<CHotKeyCtrl*>(GetDlgItem(m_dlg.get(), IDC_HOTKEY5));
    ASSERT_EQ(all, m_dlg->m_hotKeyAll);
    EXPECT_EQ(all->text(), "Ctrl + Shift + E");
    EXPECT_GT(all->y(), m_dlg->m_hotKey[3]->geometry().bottom());
    EXPECT_LT(all->geometry().bottom(), button(IDOK)->y());
    press(IDOK);
    EXPECT_EQ(readAll(iniPath()), QByteArray(kDefaultFile));

    open();
    all = m_dlg->m_hotKeyAll;
    all->setFocus();
    QTest::keyClick(all, Qt::Key_F8, Qt::ControlModifier | Qt::AltModifier);
    press(IDOK);
    EXPECT_EQ(readAll(iniPath()),
              QByteArray(kDefaultFile) +
                  "[VirtualCode5]\nVirtualCodeNumber=119\n[Modifiers5]\nModifiersNumber=3\n");
    open();
    EXPECT_EQ(m_dlg->m_hotKeyAll->text(), "Ctrl + Alt + F8");
}

} // namespace
