// Aligning by sound as a user reaches it: the real program started with --align-audio on the
// made-up event's four recordings lines the panes up (read back from its status bar through
// AT-SPI), and --print-offsets prints them for scripts, naming the panes it could not align.
#include "align/AlignMaterial.h"
#include "e2e/SetSession.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>

#include <csignal>

namespace {

using namespace tetrav::test;

class AlignAudioRunTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_s.ready()); }
    SetSession m_s;
};

TEST_F(AlignAudioRunTest, TheWindowLinesTheFourCamerasUpByTheirSound) {
    const QString names[4] = {"cam1.mp4", "cam2.mkv", "cam3.mkv", "cam4.mov"};
    QStringList arguments{"--align-audio"};
    for (const QString& n : names) {
        arguments << alignClip(n);
    }
    const QString why = m_s.start(arguments, QString());
    ASSERT_TRUE(why.isEmpty()) << why.toStdString();
    ProgramRun& run = m_s.program();
    // The shortest (camera 4, 18 s) is the reference; the offsets show once applied.
    static const QRegularExpression offsets(
        QStringLiteral("偏移 ([-+.0-9]+),([-+.0-9]+),([-+.0-9]+),([-+.0-9]+)$"));
    QRegularExpressionMatch m;
    QString shown;
    ASSERT_TRUE(WaitUntil(
        [&] {
            shown = m_s.statusTexts().join(QStringLiteral(" | "));
            return (m = offsets.match(shown)).hasMatch() || !run.isRunning();
        },
        60000, 200))
        << shown.toStdString() << run.describe();
    ASSERT_TRUE(m.hasMatch()) << run.describe();
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(names[k].toStdString());
        EXPECT_NEAR(m.captured(k + 1).toDouble(), trueOffset(names[k], names[3]), 0.010);
    }
    run.signal(SIGTERM);
    ASSERT_TRUE(run.waitForExit());
}

TEST_F(AlignAudioRunTest, PrintOffsetsNamesThePanesItCannotAlign) {
    // The shortest, camera 3 (22 s), is the reference.
    QProcess p;
    p.setProcessEnvironment(m_s.environment());
    p.start(programPath(), {"--align-audio", "--print-offsets", alignClip("cam1.mp4"), alignClip("cam3.mkv"),
                            alignClip("other.mp4"), alignClip("silent.mp4")});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 3);
    const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_NEAR(lines[0].toDouble(), trueOffset("cam1.mp4", "cam3.mkv"), 0.010);
    EXPECT_EQ(lines[1], "0.000000");
    EXPECT_EQ(lines[2], "0.000000");
    EXPECT_EQ(lines[3], "0.000000");
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    EXPECT_TRUE(err.contains("pane 3 (") && err.contains("does not match")) << err.toStdString();
    EXPECT_TRUE(err.contains("pane 4 (") && err.contains("silent")) << err.toStdString();
    EXPECT_FALSE(err.contains("pane 1 (")) << err.toStdString();
}

} // namespace
