// Where the help is found, what goes to the desktop's browser (intercepted here), the error
// boxes, and the shipped help's links.
#include "dialogs/HelpLauncher.h"
#include "dialogs/CAboutDlg.h"
#include "platform/MessageBoxRecorder.h"
#include "support/FileBytes.h"
#include "support/TestEnv.h"
#include "support/X11Probe.h"
#include "uikit/CBCGPControlIds.h"
#include "uikit/Resource.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <tuple>

namespace {

class HelpLauncherTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.isValid());
        m_previous = HelpLauncher::SetUrlOpener([this](const QUrl& url) {
            m_opened << url;
            return m_openerWorks;
        });
    }
    void TearDown() override { HelpLauncher::SetUrlOpener(m_previous); }

    QTemporaryDir m_root;
    HelpLauncher::UrlOpener m_previous;
    QList<QUrl> m_opened;
    bool m_openerWorks = true;
};

TEST_F(HelpLauncherTest, FindsTheHelpBesideInstalledOrInTheSourceTreeOrSaysSoAndItsLinksExist) {
    const QString sourceHelp = QDir(tetrav::test::sourceDir()).filePath("help/index.html");
    ASSERT_TRUE(QFileInfo::exists(sourceHelp)) << "the source tree has no help";
    const QString bin = m_root.filePath("prefix/bin");
    QDir().mkpath(bin);
    // Nothing beside or installed: the source tree's help.
    EXPECT_EQ(HelpLauncher::FindPage("index.html", bin), QFileInfo(sourceHelp).absoluteFilePath());
    // The installed layout <prefix>/share/tetrav/help wins over the source tree.
    const QString installed = m_root.filePath("prefix/share/tetrav/help/index.html");
    tetrav::test::writeAll(installed, "<html></html>");
    EXPECT_EQ(HelpLauncher::FindPage("index.html", bin), installed);
    // A help folder beside the program wins over both.
    const QString beside = m_root.filePath("prefix/bin/help/index.html");
    tetrav::test::writeAll(beside, "<html></html>");
    EXPECT_EQ(HelpLauncher::FindPage("index.html", bin), beside);

    MessageBoxRecorder boxes;
    EXPECT_TRUE(HelpLauncher::OpenPage("index.html", bin));
    ASSERT_EQ(m_opened.size(), 1);
    EXPECT_EQ(m_opened[0], QUrl::fromLocalFile(beside));
    EXPECT_TRUE(boxes.boxes().empty());

    // Nothing found: nothing launched, and an error box says so.
    m_opened.clear();
    EXPECT_FALSE(HelpLauncher::OpenPage("no-such-page.html", m_root.path()));
    EXPECT_TRUE(m_opened.isEmpty());
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(std::tie(boxes.boxes()[0].caption, boxes.boxes()[0].text, boxes.boxes()[0].icon),
              std::tuple(QString("错误"), QString("找不到帮助文件!"), MsgIcon::Error));

    boxes.clear();
    m_openerWorks = false; // no browser on this desktop
    tetrav::test::writeAll(m_root.filePath("help/index.html"), "<html></html>");
    EXPECT_FALSE(HelpLauncher::OpenPage("index.html", m_root.path()));
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_TRUE(boxes.boxes()[0].text.startsWith("无法打开帮助文件!")) << boxes.boxes()[0].text.toStdString();
    EXPECT_TRUE(boxes.boxes()[0].text.contains(m_root.filePath("help/index.html")));

    // Every page and picture the shipped help links to exists.
    const QDir help(QFileInfo(sourceHelp).dir());
    const QStringList pages = help.entryList({"*.html"}, QDir::Files);
    ASSERT_GE(pages.size(), 6) << "a page per menu and per dialog";
    ASSERT_TRUE(pages.contains(HelpLauncher::kIndexPage));
    ASSERT_TRUE(pages.contains(HelpLauncher::kSupportPage));
    const QRegularExpression link(R"((?:href|src)="([^"#:]+)(?:#[^"]*)?")");
    for (const QString& page : pages) {
        QFile f(help.filePath(page));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(f.readAll());
        EXPECT_TRUE(html.contains("charset=\"utf-8\"") || html.contains("charset=utf-8"))
            << page.toStdString();
        for (auto it = link.globalMatch(html); it.hasNext();) {
            const QString target = it.next().captured(1);
            EXPECT_TRUE(QFileInfo::exists(help.filePath(target)))
                << page.toStdString() << " links to missing " << target.toStdString();
        }
    }
}

// Return typed at the keyboard (XTEST) presses the About box's focused button: 更多技术支持 opens the
// support page and leaves the box up; on 确定 it closes the box.
TEST_F(HelpLauncherTest, EnterInTheAboutBoxPressesTheFocusedButton) {
    CAboutDlg about;
    about.show();
    about.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&about));
    auto* support = qobject_cast<QPushButton*>(GetDlgItem(&about, IDC_SUPPORT));
    ASSERT_NE(support, nullptr);
    const auto enterOn = [&](QWidget* button) {
        button->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(QTest::qWaitFor([&] { return button->hasFocus(); }));
        QString why;
        ASSERT_TRUE(tetrav::test::Xdotool(qgetenv("DISPLAY"), {"key", "Return"}, &why)) << why.toStdString();
    };
    enterOn(support);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_opened.isEmpty(); }, 5000)) << "the support page";
    EXPECT_TRUE(m_opened[0].toLocalFile().endsWith(HelpLauncher::kSupportPage));
    QTest::qWait(100);
    EXPECT_TRUE(about.isVisible()) << "the box stays up";
    enterOn(GetDlgItem(&about, IDOK));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !about.isVisible(); }, 5000));
    EXPECT_EQ(m_opened.size(), 1);
}

// The desktop's own opener: xdg-open on the path, whose exit code alone says that no browser took
// the page (3 when it finds no tool, 4 when the tool fails). Success says nothing; failure says so
// once xdg-open has ended, with the page's path.
TEST_F(HelpLauncherTest, TheDesktopOpenerSaysWhenNoBrowserTookThePage) {
    HelpLauncher::SetUrlOpener({});
    const QString page = m_root.filePath("help/index.html");
    tetrav::test::writeAll(page, "<html></html>");
    const QByteArray path = qgetenv("PATH");
    for (const int code : {0, 3, 4}) {
        SCOPED_TRACE(code);
        const QString bin = m_root.filePath(QStringLiteral("bin%1").arg(code));
        const QString tool = QDir(bin).filePath("xdg-open");
        // It records what it was given, as the real one would open it.
        tetrav::test::writeAll(
            tool,
            QStringLiteral("#!/bin/sh\necho \"$1\" > \"%1/opened\"\nexit %2\n").arg(bin).arg(code).toUtf8());
        QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", bin.toUtf8() + ':' + path);
        MessageBoxRecorder boxes;
        EXPECT_TRUE(HelpLauncher::OpenPage("index.html", m_root.path()));
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(bin + "/opened"); }, 5000));
        if (code == 0) {
            QTest::qWait(300);
            EXPECT_TRUE(boxes.boxes().empty());
        } else {
            ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.boxes().empty(); }, 5000));
            EXPECT_EQ(boxes.boxes()[0].text, QString("无法打开帮助文件!\n") + page);
        }
        EXPECT_EQ(tetrav::test::readAll(bin + "/opened").trimmed(), QUrl::fromLocalFile(page).toEncoded());
    }
    qputenv("PATH", path);
}

} // namespace
