// A video whose name is not UTF-8 (bytes FF FE) opens from every way in (the command line's:
// TetravAppTest): a saved set (which keeps the name exactly), a URI with %FF%FE and a drop; its
// messages show the bytes as \xFF\xFE.
#include "WindowTestSupport.h"
#include "mainwnd/CSavedSets.h"

#include "mainwnd/CExternalFiles.h"
#include "platform/FileName.h"
#include "support/FileBytes.h"

#include <fcntl.h>
#include <functional>
#include <unistd.h>

namespace mainwnd_test {
namespace {

using ByteNamesTest = ClipWindowTest;

TEST_F(ByteNamesTest, ANonUtf8NameOpensFromASetAUriAndADropAndASetKeepsItExactly) {
    const QByteArray folder = QFile::encodeName(m_state.path());
    const QByteArray bytes = folder + "/vid\xff\xfe.mp4";
    {
        QFile source(clip("c_10s.mp4"));
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        const QByteArray data = source.readAll();
        const int fd = ::open(bytes.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, data.constData(), size_t(data.size())), data.size());
        ::close(fd);
    }
    const QString name = FileName::FromBytes(bytes);
    const QString setPath = m_state.filePath("组.tetravset");
    tetrav::test::writeAll(setPath, "[TetravSet]\nVideo1=vid\\xFF\\xFE.mp4\nOffset1=0\n");
    auto* files = dlg->findChild<CExternalFiles*>();
    ASSERT_NE(files, nullptr);
    const QUrl uri = QUrl::fromEncoded("file://" + folder.toPercentEncoding("/") + "/vid%FF%FE.mp4");

    const struct {
        const char* way;
        std::function<void()> open;
    } ways[] = {
        {"a saved set", [&] { dlg->SavedSets().OpenSetFile(setPath); }},
        {"a URI", [&] { files->OpenAsSet({uri}); }},
        {"a drop", [&] { ASSERT_TRUE(Drop({uri}, OverToolBar())); }},
    };
    for (const auto& w : ways) {
        SCOPED_TRACE(w.way);
        dlg->OnStop();
        boxes.clear();
        w.open();
        EXPECT_TRUE(
            WaitUntil([&] { return !dlg->Set().IsOpening() && dlg->Set().Channel(0) != nullptr; }, 8000))
            << boxes.texts().join('|').toStdString();
        EXPECT_EQ(FileName::ToBytes(dlg->Set().Path(0)), bytes);
        EXPECT_TRUE(boxes.texts().isEmpty()) << boxes.texts().join('|').toStdString();
    }

    // Saved again, the set keeps the name exactly; a message shows the bytes harmlessly.
    ASSERT_TRUE(dlg->SavedSets().SaveSetTo(setPath));
    EXPECT_TRUE(tetrav::test::readAll(setPath).contains("\nVideo1=vid\\xFF\\xFE.mp4\n"));
    ASSERT_EQ(::unlink(bytes.constData()), 0);
    boxes.clear();
    EXPECT_FALSE(dlg->SavedSets().OpenSetFile(setPath));
    ASSERT_EQ(boxes.texts().size(), 1);
    EXPECT_TRUE(boxes.texts()[0].endsWith("/vid\\xFF\\xFE.mp4")) << boxes.texts()[0].toStdString();
}

} // namespace
} // namespace mainwnd_test
