// Files dropped on the real window as a file manager drops them (drop events with file URLs).
#include "WindowTestSupport.h"

#include "support/FileBytes.h"

#include <QFile>
#include <QUrl>

namespace mainwnd_test {
namespace {

class FileDropTest : public ClipWindowTest {
protected:
    QPoint OverPane(int i) const {
        return dlg->View().Pane(i)->mapTo(dlg.get(), dlg->View().Pane(i)->rect().center());
    }
    static QUrl File(const QString& name) { return QUrl::fromLocalFile(clip(name)); }
    // Panes 1 to n have a channel, the others none.
    bool AllOpen(int n) const {
        IChannel* const* c = dlg->Set().Channels();
        return !dlg->Set().IsOpening() && std::count(c, c + n, nullptr) == 0 &&
               std::count(c + n, c + 4, nullptr) == 4 - n;
    }

    QTemporaryDir m_scratch;
};

TEST_F(FileDropTest, ASetOpensInPaneOrderOneFileOnAPaneKeepsTheOthersAndNonVideosAreRefused) {
    ASSERT_TRUE(m_scratch.isValid());
    ASSERT_TRUE(
        Drop({File("a_6s.mp4"), File("b_4s.mp4"), File("c_10s.mp4"), File("d_20s.mp4"), File("format.mp4")},
             OverPane(0)));
    ASSERT_TRUE(WaitUntil([&] { return AllOpen(4); }, 8000));
    EXPECT_EQ(Paths(*dlg),
              QStringList({clip("a_6s.mp4"), clip("b_4s.mp4"), clip("c_10s.mp4"), clip("d_20s.mp4")}));
    EXPECT_EQ(dlg->Set().OpenCount(), 4);

    // Two files dropped over pane 4 still open as a set in panes 1 and 2.
    ASSERT_TRUE(Drop({File("b_4s.mp4"), File("a_6s.mp4")}, OverPane(3)));
    ASSERT_TRUE(WaitUntil([&] { return AllOpen(2); }, 5000));
    EXPECT_EQ(Paths(*dlg), QStringList({clip("b_4s.mp4"), clip("a_6s.mp4"), "", ""}));
    EXPECT_EQ(Status(0), "打开文件");
    EXPECT_EQ(dlg->Set().Reference(), 0);

    // What is not a readable local video is refused, named; the open set plays on unchanged.
    dlg->OnPlay();
    IChannel* const before[2] = {dlg->Set().Channel(0), dlg->Set().Channel(1)};
    const QString text = m_scratch.filePath("notes.txt");
    tetrav::test::writeAll(text, "not a video at all\n");
    const QString locked = m_scratch.filePath("locked.mp4");
    ASSERT_TRUE(QFile::copy(clip("a_6s.mp4"), locked));
    ASSERT_TRUE(QFile::setPermissions(locked, QFileDevice::Permissions()));
    const bool root = QFileInfo(locked).isReadable(); // root reads everything
    const QUrl web(QStringLiteral("https://example.invalid/clip.mp4"));
    const auto local = [](const QString& path) { return QUrl::fromLocalFile(path); };
    const struct {
        const char* name;
        QList<QUrl> urls;
        QString named; // the file the message names
        QPoint pos;
    } cases[] = {
        {"a text file on a pane", {local(text)}, text, OverPane(2)},
        {"a folder", {local(m_scratch.path())}, m_scratch.path(), OverPane(1)},
        {"a web address", {web}, web.toDisplayString(), OverToolBar()},
        {"a good file with a bad one", {File("c_10s.mp4"), local(text)}, text, OverPane(0)},
        {"an unreadable file", {local(locked)}, locked, OverPane(3)},
    };
    for (const auto& c : cases) {
        if (root && c.named == locked) {
            continue;
        }
        SCOPED_TRACE(c.name);
        boxes.clear();
        Drop(c.urls, c.pos);
        ASSERT_TRUE(WaitUntil([&] { return !boxes.texts().isEmpty(); }, 3000));
        EXPECT_EQ(boxes.texts(), QStringList("打开视频文件错误!\n" + QDir::toNativeSeparators(c.named)));
        EXPECT_EQ(boxes.boxes()[0].caption, "错误");
        EXPECT_EQ(Paths(*dlg), QStringList({clip("b_4s.mp4"), clip("a_6s.mp4"), "", ""}));
        EXPECT_TRUE(dlg->Set().Channel(0) == before[0] && dlg->Set().Channel(1) == before[1]);
        EXPECT_TRUE(dlg->IsTimerRunning(TIMER_SYNC)) << "play goes on";
    }
    // A drag that carries no files is not taken at all.
    QMimeData plain;
    plain.setText(QStringLiteral("just text"));
    QDragEnterEvent enter(OverPane(0), Qt::CopyAction, &plain, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(dlg.get(), &enter);
    EXPECT_FALSE(enter.isAccepted());
    boxes.clear();

    // One file on pane 3 joins the set there.
    ASSERT_TRUE(Drop({File("c_10s.mp4")}, OverPane(2)));
    ASSERT_TRUE(WaitUntil([&] { return !dlg->Set().IsOpening() && dlg->Set().Channel(2) != nullptr; }, 5000));
    EXPECT_EQ(Paths(*dlg), QStringList({clip("b_4s.mp4"), clip("a_6s.mp4"), clip("c_10s.mp4"), ""}));
    EXPECT_EQ(dlg->Set().OpenCount(), 3);
    EXPECT_FALSE(dlg->IsTimerRunning(TIMER_SYNC)) << "a new set waits for play, as after the open command";

    // One file on pane 1 replaces that pane's file.
    ASSERT_TRUE(Drop({File("d_20s.mp4")}, OverPane(0)));
    ASSERT_TRUE(
        WaitUntil([&] { return !dlg->Set().IsOpening() && dlg->Set().Path(0) == clip("d_20s.mp4"); }, 5000));
    EXPECT_EQ(Paths(*dlg), QStringList({clip("d_20s.mp4"), clip("a_6s.mp4"), clip("c_10s.mp4"), ""}));
    EXPECT_EQ(dlg->Set().Reference(), 1) << "a_6s is now the shortest";

    // One file elsewhere (the tool bar) is a set of one.
    ASSERT_TRUE(Drop({File("b_4s.mp4")}, OverToolBar()));
    ASSERT_TRUE(WaitUntil([&] { return AllOpen(1); }, 5000));
    EXPECT_EQ(Paths(*dlg), QStringList({clip("b_4s.mp4"), "", "", ""}));
    EXPECT_TRUE(boxes.texts().isEmpty());
}

} // namespace
} // namespace mainwnd_test
