// Snapshots from the real window on real clips: the pane's context menu command and its hot
// key write the picture the pane shows, named after the pane and the local time, into the
// snapshot folder. (Empty panes and folders that cannot be written: CaptureAllTest.)
#include "WindowTestSupport.h"

#include "controls/CMenuEx.h"
#include "platform/CHotKeyManager.h"

#include <QDateTime>
#include <QImage>
#include <QRegularExpression>

namespace mainwnd_test {
namespace {

constexpr qint64 kBmpSize320x240 = 54 + 320 * 3 * 240; // 230,454 bytes

class SnapshotTest : public ClipWindowTest {
protected:
    void SetUp() override {
        ClipWindowTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        ASSERT_TRUE(m_shots.isValid());
        // A folder that does not exist yet, given with a trailing slash like the default one.
        m_folder = m_shots.filePath(QStringLiteral("快照 folder"));
        g_settings.SaveMapPath = m_folder + QLatin1Char('/');
        OpenClips({"a_6s.mp4", nullptr, "c_10s.mp4", nullptr});
    }

    QStringList Shots() const { return QDir(m_folder).entryList({QStringLiteral("*.bmp")}, QDir::Files); }

    QTemporaryDir m_shots;
    QString m_folder;
};

// The shot is taken by the pane's menu command or by its hot key, while paused and while
// playing; it holds the frame the pane shows at that instant, also once its file is deleted.
// (The hot key pressed at the keyboard: TetravDesktopTest.HotKeyWritesThePaneSnapshot.)
TEST_F(SnapshotTest, WritesThePaneFrameAtTheVideoSizeNamedByPaneAndLocalTime) {
    const QRegularExpression name(QStringLiteral("^03_(\\d{17})\\.bmp$"));
    ASSERT_FALSE(QFileInfo::exists(m_folder));
    // By the menu, paused after opening; by the menu, playing; by the hot key, playing.
    for (int way = 0; way < 3; ++way) {
        SCOPED_TRACE(way);
        const bool hotKey = way == 2;
        if (way == 1) {
            dlg->OnPlay();
            dlg->OnSlower(); // a frame lasts 160 ms: long enough for a shot in a slow build
        }
        QTest::qWait(way * 300);
        QWidget* picture = dlg->m_pChannel[2]->VideoWidget();
        // The picture may move on while it is read: take the shot between two equal readings.
        bool matched = false;
        for (int attempt = 0; attempt < 10 && !matched; ++attempt) {
            for (const QString& old : Shots()) {
                QFile::remove(QDir(m_folder).filePath(old));
            }
            const QDateTime from = QDateTime::currentDateTime();
            const int shownBefore = enginetest::frameShownBy(picture);
            hotKey ? emit dlg->HotKeys()->hotKey(300) : emit dlg->m_menuContext[2]->command(ID_CAPTURE_3);
            const int shownAfter = enginetest::frameShownBy(picture);
            const QDateTime to = QDateTime::currentDateTime();
            const QStringList shots = Shots();
            ASSERT_EQ(shots.size(), 1) << shots.join(' ').toStdString();
            const QRegularExpressionMatch m = name.match(shots[0]);
            ASSERT_TRUE(m.hasMatch()) << shots[0].toStdString();
            const QDateTime stamp = QDateTime::fromString(m.captured(1), QStringLiteral("yyyyMMddHHmmsszzz"));
            EXPECT_TRUE(stamp >= from.addMSecs(-1) && stamp <= to) << shots[0].toStdString();
            const QString path = QDir(m_folder).filePath(shots[0]);
            EXPECT_EQ(QFileInfo(path).size(), kBmpSize320x240);
            const QImage shot(path);
            ASSERT_EQ(shot.size(), QSize(320, 240));
            if (shownBefore == shownAfter) {
                ASSERT_GE(shownBefore, 0);
                EXPECT_EQ(enginetest::frameNumberIn(shot), shownBefore);
                matched = true;
            }
        }
        EXPECT_TRUE(matched) << "the pane never held one frame across a shot";
    }

    // The file of pane 1 goes away while it plays: its decoded picture is still there.
    const QString copy = m_shots.filePath(QStringLiteral("copy.mp4"));
    ASSERT_TRUE(QFile::copy(clip("b_4s.mp4"), copy));
    g_strVideoPath[2].clear();
    Open({{0, copy}});
    dlg->OnPlay();
    QTest::qWait(300);
    ASSERT_TRUE(QFile::remove(copy));
    QTest::qWait(300);
    QDir(m_folder).removeRecursively();
    emit dlg->HotKeys()->hotKey(100);
    emit dlg->HotKeys()->hotKey(300); // pane 3 is empty now
    ASSERT_EQ(Shots().size(), 1) << Shots().join(' ').toStdString();
    EXPECT_TRUE(Shots()[0].startsWith(QStringLiteral("01_")));
    EXPECT_TRUE(boxes.texts().isEmpty());
}

} // namespace
} // namespace mainwnd_test
