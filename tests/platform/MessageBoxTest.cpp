// Message boxes stay within the screen: long paths elided in the middle, long lists summed up,
// and the whole text kept as the box's details.
#include "platform/MessageBox.h"
#include "platform/MessageBoxRecorder.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QStringList>

namespace {

TEST(MessageBoxTest, LongPathsAndLongListsStayWithinTheScreenWithTheWholeTextBehind) {
    const QFontMetrics metrics(QApplication::font());
    constexpr int kWidth = 600;
    QStringList thousand{QStringLiteral("打开视频文件错误!")};
    for (int i = 0; i < 1000; ++i) {
        thousand << QStringLiteral("/videos/clip %1.txt").arg(i);
    }
    const QString longPath = "/media/" + QString(400, QChar(u'长')) + "/camera/clip 1.mp4";
    const struct {
        const char* name;
        QString text;
        int lines;            // of the text shown
        const char* endsWith; // the text shown
    } cases[] = {
        {"short", QStringLiteral("保存设置错误!\n/home/u/.config/tetrav/TetravSet.ini\n磁盘空间不足"), 3,
         "磁盘空间不足"},
        {"a long path", QStringLiteral("打开视频文件错误!\n视频一：") + longPath, 2, "clip 1.mp4"},
        {"a thousand files", thousand.join('\n'), 12, "……以及另外 990 项"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString shown = ShownText(c.text, metrics, kWidth);
        const QStringList lines = shown.split('\n');
        EXPECT_EQ(lines.size(), c.lines);
        EXPECT_TRUE(shown.endsWith(QString::fromUtf8(c.endsWith))) << shown.toStdString();
        EXPECT_EQ(lines.first(), c.text.section('\n', 0, 0)) << "the message itself is whole";
        for (const QString& line : lines) {
            EXPECT_LE(metrics.horizontalAdvance(line), kWidth) << line.toStdString();
        }
        EXPECT_EQ(shown == c.text, std::string(c.name) == "short");
    }

    // The program's boxes: the whole text recorded, what is shown fits the screen.
    MessageBoxRecorder boxes;
    ShowErrorBox(thousand.join('\n'));
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, thousand.join('\n'));
    EXPECT_EQ(boxes.boxes()[0].shown.count('\n'), 11);
    for (const QString& line : boxes.boxes()[0].shown.split('\n')) {
        EXPECT_LE(QFontMetrics(QApplication::font("QMessageBox")).horizontalAdvance(line),
                  QGuiApplication::primaryScreen()->availableGeometry().width());
    }
}

} // namespace
