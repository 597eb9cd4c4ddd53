// Message boxes stay within the screen: long paths elided in the middle, long lists summed up,
// and the whole text kept as the box's details; they come one after another over their owner.
#include "platform/MessageBox.h"
#include "platform/MessageBoxRecorder.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStringList>
#include <QWidget>

#include <memory>

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

namespace {

// The boxes come one after another over their owner, without an event loop of their own: the
// caller goes on at once, what waits for them runs once the last one before it is closed, and
// boxes still waiting go with an owner that goes.
TEST(MessageBoxTest, BoxesComeOneAfterAnotherAndWhatWaitsRunsOnceTheyAreClosed) {
    auto owner = std::make_unique<QWidget>();
    owner->resize(400, 300);
    owner->show();
    SetMessageBoxOwner(owner.get());
    const auto upText = [] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        return box != nullptr && box->isVisible() ? box->text() : QString();
    };
    QStringList done;
    ShowErrorBox(QStringLiteral("一"));
    ShowMessageBox(QStringLiteral("二"));
    AfterMessageBoxes(owner.get(), [&] {
        done << "after two";
        ShowMessageBox(QStringLiteral("三")); // after what waits already
        AfterMessageBoxes(owner.get(), [&] { done << "after three"; });
    });
    AfterMessageBoxes(owner.get(), [&] { done << "also after two"; });
    EXPECT_EQ(upText(), "一");
    auto* first = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->parentWidget(), owner.get());
    EXPECT_EQ(first->windowModality(), Qt::WindowModal);
    EXPECT_EQ(first->windowTitle(), "错误");
    EXPECT_TRUE(done.isEmpty());
    first->button(QMessageBox::Ok)->click();
    EXPECT_EQ(upText(), "二");
    EXPECT_TRUE(done.isEmpty());
    qobject_cast<QMessageBox*>(QApplication::activeModalWidget())->button(QMessageBox::Ok)->click();
    EXPECT_EQ(done, QStringList({"after two", "also after two"}));
    EXPECT_EQ(upText(), "三");
    qobject_cast<QMessageBox*>(QApplication::activeModalWidget())->button(QMessageBox::Ok)->click();
    EXPECT_EQ(done, QStringList({"after two", "also after two", "after three"}));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    // Nothing up: what waits runs at once.
    AfterMessageBoxes(owner.get(), [&] { done << "at once"; });
    EXPECT_EQ(done.size(), 4);

    // The owner goes while a box is up: the box goes with it, and so does what waited.
    ShowErrorBox(QStringLiteral("四"));
    ShowErrorBox(QStringLiteral("五"));
    QObject context;
    AfterMessageBoxes(&context, [&] { done << "after five"; });
    EXPECT_EQ(upText(), "四");
    owner.reset();
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(done.size(), 4);
    AfterMessageBoxes(&context, [&] { done << "after the owner"; });
    EXPECT_EQ(done.last(), "after the owner") << "the queue is free again";
    SetMessageBoxOwner(nullptr);
}

} // namespace
