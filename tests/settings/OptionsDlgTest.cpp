// The options dialog against real settings files: what it shows for every value a file can hold,
// what OK writes back, the hot key controls, the folder chooser, Cancel, and files that fail.
#include "platform/CProfileFile.h"
#include "platform/MessageBoxRecorder.h"
#include "settings/COptionsDlg.h"
#include "settings/CSettings.h"
#include "settings/CSettingsFile.h"
#include "support/FileBytes.h"
#include "support/FullDisk.h"
#include "support/X11Probe.h"
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

#include <memory>
#include <tuple>

namespace {

using tetrav::test::FullDisk;
using tetrav::test::readAll;
using tetrav::test::writeAll;

class OptionsDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_config.isValid());
        m_oldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
        g_settings = CSettings{};
        m_previousPicker =
            COptionsDlg::SetFolderPicker([this](QWidget*, const QString& title, const QString&, auto answer) {
                m_pickerTitles << title;
                answer(m_pickerAnswer);
            });
    }
    void TearDown() override {
        m_dlg.reset();
        COptionsDlg::SetFolderPicker(m_previousPicker);
        qputenv("XDG_CONFIG_HOME", m_oldConfig);
    }

    QString iniPath() const { return m_config.path() + "/tetrav/TetravSet.ini"; }

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
        for (const auto& [first, second, checked] : {std::tuple(IDC_FRAME_SYNC, IDC_TIME_SYNC, frameSync),
                                                     std::tuple(IDC_SHORTEST, IDC_LONGEST, shortest),
                                                     std::tuple(IDC_TOPMOST, IDC_STANDARD, topmost)}) {
            EXPECT_EQ(radio(first)->isChecked(), checked) << first;
            EXPECT_EQ(radio(second)->isChecked(), !checked) << second;
        }
    }

    QTemporaryDir m_config;
    QByteArray m_oldConfig;
    std::unique_ptr<COptionsDlg> m_dlg;
    COptionsDlg::FolderPicker m_previousPicker;
    QString m_pickerAnswer;
    QStringList m_pickerTitles;
};

// Cancel stores nothing, not even a folder picked meanwhile. The fifth hot key sits below the four: an
// older file shows its default and is left as it was by OK. A file removed while the dialog is open is
// written afresh, with the fifth key once typed and the folder chosen (without a last '/').
TEST_F(OptionsDlgTest, CancelStoresNothingOkWritesTheDefaultFileBackAndARemovedFileAfresh) {
    ASSERT_TRUE(CSettingsFile::WriteDefaults(g_settings)); // the file of a first run: SettingsFileTest's
    const QByteArray defaults = readAll(iniPath());
    const QString folder = g_settings.SaveMapPath;
    g_settings.FramePhase = 1;
    g_settings.SaveMapPath = "/kept";
    open();
    QTest::mouseClick(radio(IDC_TIME_SYNC), Qt::LeftButton);
    QTest::mouseClick(radio(IDC_TOPMOST), Qt::LeftButton);
    QTest::keyClick(m_dlg->m_hotKey[0], Qt::Key_F9, Qt::ControlModifier);
    const std::pair<const char*, const char*> answers[] = {
        {"/media/my videos/截图/", "/media/my videos/截图"},
        {"/srv/shots", "/srv/shots"},
        {"", "/srv/shots"}, // cancelled: the folder stays
        {"/", "/"},
    };
    for (const auto& [answer, shown] : answers) {
        m_pickerAnswer = QString::fromUtf8(answer);
        press(IDC_BROWSE_PATH);
        EXPECT_EQ(folderShown(), QString::fromUtf8(shown)) << answer;
    }
    EXPECT_EQ(m_pickerTitles.value(0), "请选择截图保存的目录");
    press(IDCANCEL);
    EXPECT_FALSE(m_dlg->isVisible());
    EXPECT_EQ(readAll(iniPath()), defaults);
    EXPECT_EQ(std::tie(g_settings.FramePhase, g_settings.SaveMapPath), std::tuple(1, QString("/kept")));

    g_settings = CSettings{};
    open();
    expectRadios(true, true, false);
    EXPECT_EQ(folderShown(), folder);
    for (int n = 0; n < 4; ++n) {
        EXPECT_EQ(m_dlg->m_hotKey[n]->text(), QString("Ctrl + Shift + ") + QChar('A' + n));
    }
    CHotKeyCtrl* all = qobject_cast<CHotKeyCtrl*>(GetDlgItem(m_dlg.get(), IDC_HOTKEY5));
    ASSERT_EQ(all, m_dlg->m_hotKeyAll);
    EXPECT_EQ(all->text(), "Ctrl + Shift + E");
    EXPECT_GT(all->y(), m_dlg->m_hotKey[3]->geometry().bottom());
    EXPECT_LT(all->geometry().bottom(), button(IDOK)->y());
    press(IDOK);
    EXPECT_FALSE(m_dlg->isVisible());
    EXPECT_EQ(readAll(iniPath()), defaults);
    EXPECT_EQ(
        std::tie(g_settings.FramePhase, g_settings.MiniVideo, g_settings.ForeView, g_settings.SaveMapPath),
        std::tuple(1, 1, 0, folder));

    open();
    EXPECT_TRUE(qobject_cast<QLineEdit*>(GetDlgItem(m_dlg.get(), IDC_SAVE_PATH))->isReadOnly());
    ASSERT_TRUE(QFile::remove(iniPath()));
    m_dlg->m_hotKeyAll->setFocus();
    QTest::keyClick(m_dlg->m_hotKeyAll, Qt::Key_F8, Qt::ControlModifier | Qt::AltModifier);
    m_pickerAnswer = "/media/my videos/截图/";
    press(IDC_BROWSE_PATH);
    press(IDOK);
    EXPECT_EQ(readAll(iniPath()),
              QByteArray(defaults).replace(folder.toUtf8(), "/media/my videos/截图") +
                  "[VirtualCode5]\nVirtualCodeNumber=119\n[Modifiers5]\nModifiersNumber=3\n");
    EXPECT_EQ(g_settings.SaveMapPath, "/media/my videos/截图");
    open();
    EXPECT_EQ(m_dlg->m_hotKeyAll->text(), "Ctrl + Alt + F8");
}

// A value atoi makes non-zero (or a missing key) selects the first button; OK writes 1 or 0.
TEST_F(OptionsDlgTest, OddValuesSelectByTheDialogsOwnRuleAndOkWritesOneOrZero) {
    const std::pair<const char*, bool> values[] = {{"0", false},  {"1", true},     {"2", true},
                                                   {"256", true}, {"-1", true},    {"text", false},
                                                   {" 7x", true}, {nullptr, true}, {"", false}};
    for (const auto& [text, first] : values) {
        SCOPED_TRACE(text ? text : "missing");
        QByteArray file;
        for (const char* name : {"FramePhase", "MiniVideo", "ForeView"}) {
            file += QByteArray("[") + name + "]\n" + (text ? QByteArray(name) + "Number=" + text + "\n" : "");
        }
        writeAll(iniPath(), file);
        open();
        expectRadios(first, first, first);
        press(IDOK);
        for (const QString name : {"FramePhase", "MiniVideo", "ForeView"}) {
            EXPECT_EQ(CProfileFile(iniPath()).getString(name, name + "Number", "-"), first ? "1" : "0");
        }
        EXPECT_EQ(std::tie(g_settings.FramePhase, g_settings.ForeView), std::tuple(int(first), int(first)));
    }
}

// File flags (Alt 1, Ctrl 2, Shift 4) against what the controls show, keys typed into a control
// (a lone letter refused, Alt+O not taken as OK's mnemonic), and what OK writes for each pane.
TEST_F(OptionsDlgTest, HotKeysConvertBetweenFileAndControlsBothWays) {
    writeAll(iniPath(), "[VirtualCode1]\nVirtualCodeNumber=116\n[Modifiers1]\nModifiersNumber=3\n"
                        "[VirtualCode2]\nVirtualCodeNumber=49\n[Modifiers2]\nModifiersNumber=5\n"
                        "[VirtualCode3]\nVirtualCodeNumber=112\n[Modifiers3]\nModifiersNumber=8\n"
                        "[VirtualCode4]\nVirtualCodeNumber=0\n[Modifiers4]\nModifiersNumber=0\n");
    open();
    const auto& pane = m_dlg->m_hotKey;
    // The Win key (8) has no place in the control: written back as 0.
    const char* const shown[4] = {"Ctrl + Alt + F5", "Shift + Alt + 1", "F1", "无"};
    for (int n = 0; n < 4; ++n) {
        EXPECT_EQ(pane[n]->text(), shown[n]) << "pane " << n + 1;
    }
    EXPECT_EQ(pane[0]->GetHotKeyWord(), 116u | (CHotKeyCtrl::HOTKEYF_CONTROL | CHotKeyCtrl::HOTKEYF_ALT)
                                                   << 8);

    pane[1]->setFocus();
    QTest::keyClick(pane[1], Qt::Key_Backspace);
    EXPECT_EQ(pane[1]->text(), "无");
    QTest::keyClick(pane[1], Qt::Key_Q);
    EXPECT_NE(pane[1]->text(), "Q") << "a lone letter would be taken from every program";
    QTest::keyClick(pane[3], Qt::Key_O, Qt::AltModifier);
    EXPECT_TRUE(m_dlg->isVisible()) << "Alt+O, OK's mnemonic elsewhere, is a hot key here";
    EXPECT_EQ(pane[3]->text(), "Alt + O");
    QTest::keyClick(pane[3], Qt::Key_Exclam, Qt::ShiftModifier); // Shift+1 on the usual layout
    EXPECT_EQ(pane[3]->text(), "Shift + 1");
    QTest::keyClick(pane[3], Qt::Key_F9, Qt::ControlModifier);
    press(IDOK);
    CSettings read;
    HotKeySetting written[4];
    CSettingsFile::Read(read, written);
    EXPECT_EQ(std::vector(written, written + 4),
              (std::vector<HotKeySetting>{{116, 3}, {0, 0}, {0x70, 0}, {120, 2}}));
}

// A settings file that cannot be written when OK is pressed, on a real full disk: the box names the
// file and the reason, the values hold for this run, and the file stays byte for byte.
TEST_F(OptionsDlgTest, AFullDiskIsSaidTheValuesKeptAndTheFileLeftByteForByte) {
    FullDisk disk;
    ASSERT_FALSE(disk.folder().isEmpty()) << disk.whyNot().toStdString();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(disk.folder()));
    ASSERT_TRUE(CSettingsFile::WriteDefaults(g_settings));
    const QString ini = CSettingsFile::FilePath();
    const QByteArray before = readAll(ini);
    ASSERT_FALSE(before.isEmpty());
    disk.fill();
    open();
    QTest::mouseClick(radio(IDC_LONGEST), Qt::LeftButton);
    QTest::keyClick(m_dlg->m_hotKey[1], Qt::Key_F7, Qt::ShiftModifier);
    m_pickerAnswer = "/srv/shots/";
    press(IDC_BROWSE_PATH);

    MessageBoxRecorder boxes;
    press(IDOK);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].caption, "错误");
    EXPECT_EQ(boxes.boxes()[0].text, "保存设置错误!\n" + ini + "\n" + disk.reason());
    EXPECT_EQ(boxes.boxes()[0].icon, MsgIcon::Error);
    EXPECT_EQ(g_settings.MiniVideo, 0);
    EXPECT_EQ(g_settings.SaveMapPath, "/srv/shots");
    EXPECT_EQ(readAll(ini), before) << "the file on disk changed";
    EXPECT_EQ(QDir(QFileInfo(ini).path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{"TetravSet.ini"});

    open();
    EXPECT_TRUE(radio(IDC_LONGEST)->isChecked()) << "this run keeps the values";
    EXPECT_EQ(m_dlg->m_hotKey[1]->text(), "Shift + F7");
    EXPECT_EQ(folderShown(), "/srv/shots");
}

// Return typed at the keyboard (XTEST) presses the focused push button: 放弃 cancels and 选择 opens
// the folder chooser, neither saving; on OK, or on a control that is no push button, it saves.
TEST_F(OptionsDlgTest, EnterPressesTheFocusedButtonAndSavesOnlyThroughOk) {
    ASSERT_TRUE(CSettingsFile::WriteDefaults(g_settings));
    const QByteArray defaults = readAll(iniPath());
    const std::tuple<int, bool, int, bool> rows[] = {
        // focused control, still open, folder choosers opened, file written
        {IDCANCEL, false, 0, false},
        {IDC_BROWSE_PATH, true, 1, false},
        {IDOK, false, 0, true},
        {IDC_LONGEST, false, 0, true},
    };
    for (const auto& [focused, open, choosers, written] : rows) {
        SCOPED_TRACE(focused);
        writeAll(iniPath(), defaults);
        m_pickerTitles.clear();
        m_pickerAnswer.clear();
        this->open();
        m_dlg->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_dlg.get()));
        QTest::mouseClick(radio(IDC_TIME_SYNC), Qt::LeftButton); // a change OK would write
        QWidget* control = GetDlgItem(m_dlg.get(), focused);
        control->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(QTest::qWaitFor([&] { return control->hasFocus(); }));
        QString why;
        ASSERT_TRUE(tetrav::test::Xdotool(qgetenv("DISPLAY"), {"key", "Return"}, &why)) << why.toStdString();
        if (open) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return m_pickerTitles.size() == choosers; }, 5000));
            QTest::qWait(100);
        } else {
            ASSERT_TRUE(QTest::qWaitFor([&] { return !m_dlg->isVisible(); }, 5000));
        }
        EXPECT_EQ(m_dlg->isVisible(), open);
        EXPECT_EQ(m_pickerTitles.size(), choosers);
        EXPECT_EQ(readAll(iniPath()) != defaults, written);
        m_dlg.reset();
    }
}

} // namespace
