// Names as bytes: every byte string survives the round trip, undecodable bytes and control
// characters show as \xNN, URIs carry the bytes percent-encoded, and saved sets' escapes read back.
#include "platform/FileName.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(FileNameTest, BytesRoundTripShowHarmlesslyAndTravelInUrisAndSavedSets) {
    const struct {
        QByteArray bytes;
        const char* shown;
        const char* uriPath;
        const char* escaped;
    } cases[] = {
        {"/v/plain name.mp4", "/v/plain name.mp4", "/v/plain%20name.mp4", "/v/plain name.mp4"},
        {"/v/\xe4\xba\x8c\xe5\x8f\xb7.mkv", "/v/二号.mkv", "/v/%E4%BA%8C%E5%8F%B7.mkv", "/v/二号.mkv"},
        {"/v/vid\xff\xfe.mp4", "/v/vid\\xFF\\xFE.mp4", "/v/vid%FF%FE.mp4", "/v/vid\\xFF\\xFE.mp4"},
        {"/v/\xb6\xfe\xba\xc5.avi", "/v/\\xB6\\xFE\\xBA\\xC5.avi", "/v/%B6%FE%BA%C5.avi",
         "/v/\\xB6\\xFE\\xBA\\xC5.avi"}, // GBK
        {"/v/cut\xe4\xba.mp4", "/v/cut\\xE4\\xBA.mp4", "/v/cut%E4%BA.mp4", "/v/cut\\xE4\\xBA.mp4"},
        {"/v/overlong\xc0\xaf.mp4", "/v/overlong\\xC0\\xAF.mp4", "/v/overlong%C0%AF.mp4",
         "/v/overlong\\xC0\\xAF.mp4"},
        {"/v/line\nbreak.mp4", "/v/line\\x0Abreak.mp4", "/v/line%0Abreak.mp4", "/v/line\nbreak.mp4"},
        {"/v/a\\xFF.mp4", "/v/a\\xFF.mp4", "/v/a%5CxFF.mp4", "/v/a\\x5CxFF.mp4"}, // a real backslash
        {"/v/\xf0\x9f\x8e\xac.mp4", "/v/🎬.mp4", "/v/%F0%9F%8E%AC.mp4", "/v/🎬.mp4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        const QString name = FileName::FromBytes(c.bytes);
        EXPECT_EQ(FileName::ToBytes(name), c.bytes);
        EXPECT_EQ(FileName::Shown(name), QString::fromUtf8(c.shown));
        EXPECT_EQ(FileName::ToUri(name), "file://" + QByteArray(c.uriPath));
        EXPECT_EQ(FileName::FromUri(QUrl::fromEncoded("file://" + QByteArray(c.uriPath))), name);
        EXPECT_EQ(FileName::Escape(name), QString::fromUtf8(c.escaped));
        EXPECT_EQ(FileName::Unescape(FileName::Escape(name)), name);
        EXPECT_FALSE(FileName::Escape(name).toUtf8().contains('\xff')) << "an escaped name is UTF-8";
    }
    EXPECT_TRUE(FileName::FromUri(QUrl("https://example.com/a.mp4")).isEmpty());
    EXPECT_TRUE(FileName::FromUri(QUrl::fromEncoded("file:///v/a.mp4%00.txt")).isEmpty())
        << "a NUL ends no name";
}

TEST(FileNameTest, KindsAreToldApartByTheNamesOwnBytes) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray base = QFile::encodeName(dir.path());
    const QByteArray file = base + "/vid\xff\xfe.mp4";
    const int fd = ::open(file.constData(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "data", 4), 4);
    ::close(fd);
    ASSERT_EQ(::mkfifo((base + "/pipe").constData(), 0644), 0);
    const struct {
        QByteArray bytes;
        FileName::Kind kind;
        const char* text;
    } cases[] = {
        {file, FileName::Kind::File, ""},
        {base + "/vid\xef\xbf\xbd\xef\xbf\xbd.mp4", FileName::Kind::Missing,
         "文件不存在"}, // what Qt would ask for
        {base, FileName::Kind::Folder, "这是一个文件夹"},
        {base + "/pipe", FileName::Kind::Fifo, "这是一个管道，不是文件"},
        {"/dev/zero", FileName::Kind::Device, "这是一个设备，不是文件"},
        {file + QByteArray("\0.txt", 5), FileName::Kind::Missing,
         "文件不存在"}, // not the file before the NUL
    };
    for (const auto& c : cases) {
        const QString name = FileName::FromBytes(c.bytes);
        EXPECT_EQ(FileName::KindOf(name), c.kind) << c.text;
        EXPECT_EQ(FileName::KindText(c.kind), QString::fromUtf8(c.text));
    }
    EXPECT_EQ(FileName::SizeOf(FileName::FromBytes(file)), 4);
    EXPECT_TRUE(FileName::IsReadable(FileName::FromBytes(file)));
}

} // namespace
