// The command line: what each option reads into, and the real program's answers to --help,
// --version, mistakes and a missing display (no X server needed for any of them).
#include "app/CCommandLine.h"
#include "mainwnd/RunOptions.h"
#include "support/FileBytes.h"
#include "support/ProgramRun.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

namespace {

using namespace tetrav::test;

RunOptions With(void (*set)(RunOptions&)) {
    RunOptions o;
    set(o);
    return o;
}

// Accepted command lines: the files, the options, and what goes to Qt.
TEST(CommandLine, OptionsReadIntoTheRunOptionsAndQtKeepsItsOwn) {
    struct Row {
        QStringList arguments;
        QStringList files;
        RunOptions options;
        QStringList qt;
    };
    const Row rows[] = {
        {{"a.mp4", "b.mkv"}, {"a.mp4", "b.mkv"}, {}, {}},
        {{"--sync", "time", "--reference", "longest", "a.mp4"},
         {"a.mp4"},
         With([](RunOptions& o) { o.syncMode = 0, o.reference = 0; }),
         {}},
        {{"--sync=time", "--sync", "frame", "--reference=shortest"}, // the last word holds
         {},
         With([](RunOptions& o) { o.syncMode = 1, o.reference = 1; }),
         {}},
        {{"a.mp4", "--offset", "2=-3.2", "--offset=4=+1:02.5", "--offset", "2=0.125", "b.mp4"},
         {"a.mp4", "b.mp4"},
         With([](RunOptions& o) { o.offset[1] = 0.125, o.offset[3] = 62.5; }),
         {}},
        {{"--start", "1:02:03.250", "--rate", "0.25", "--play", "a.mp4"},
         {"a.mp4"},
         With([](RunOptions& o) { o.start = 3723.25, o.rate = 0.25, o.play = true; }),
         {}},
        {{"--start=100:00", "--rate=2", "--offset", "3=-24:00:00", "a.mp4"},
         {"a.mp4"},
         With([](RunOptions& o) { o.start = 6000, o.rate = 2, o.offset[2] = -86400; }),
         {}},
        {{"-platform", "offscreen", "a.mp4", "-style", "fusion", "-reverse", "--", "-odd name.mp4"},
         {"a.mp4", "-odd name.mp4"},
         {},
         {"-platform", "offscreen", "-style", "fusion", "-reverse"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arguments.join(' ').toStdString());
        const CCommandLine::Parsed parsed = CCommandLine::Parse(row.arguments);
        ASSERT_EQ(parsed.action, CCommandLine::Action::Run) << parsed.text.toStdString();
        EXPECT_EQ(parsed.files, row.files);
        EXPECT_TRUE(parsed.options == row.options);
        EXPECT_EQ(parsed.qtArguments, row.qt);
        // What a second copy hands over comes back the same.
        EXPECT_TRUE(RunOptions::FromPlatformData(parsed.options.ToPlatformData()) == parsed.options);
    }
    // Platform data from elsewhere: unusable values are left out, other keys ignored.
    const RunOptions odd = RunOptions::FromPlatformData({{"tetrav-sync", 7},
                                                         {"tetrav-rate", 3.0},
                                                         {"tetrav-offset2", 1e9},
                                                         {"tetrav-start", -1.0},
                                                         {"tetrav-offset5", 1.0},
                                                         {"desktop-startup-id", "x"}});
    EXPECT_TRUE(odd.IsEmpty());
}

// Help and version need no display; a mistake is one line and 2; no display is one line and 1,
// never Qt's abort.
TEST(CommandLineProgram, HelpVersionMistakesAndAMissingDisplay) {
    QTemporaryDir dir;
    const QString set = dir.filePath("match.tetravset");
    writeAll(set, "[TetravSet]\nVideo1=" + clip("a_6s.mp4").toUtf8() + "\n");
    writeAll(dir.filePath("binary.tetravset"), QByteArray("\0\1\2", 3));
    const QString video = clip("a_6s.mp4");
    struct Row {
        QStringList arguments;
        const char* display;
        int code;
        QString said; // on standard error (standard output for code 0)
    };
    const Row rows[] = {
        {{"--help"}, nullptr, 0, "Usage: tetrav [OPTION]... [FILE]..."},
        {{"-h", video}, nullptr, 0, "--offset PANE=TIME"},
        {{"--version"}, nullptr, 0, "Tetrav 1.3.2.1121\n"},
        {{"-v"}, ":77", 0, "Tetrav 1.3.2.1121\n"},
        {{"--bogus", video}, ":0", 2, "Unknown option 'bogus'."},
        {{"-x"}, nullptr, 2, "Unknown option 'x'."},
        {{video, "--sync"}, nullptr, 2, "Missing value after '--sync'."},
        {{"--sync", "fast", video}, nullptr, 2, "--sync takes frame or time, not 'fast'."},
        {{"--reference", "middle", video},
         nullptr,
         2,
         "--reference takes shortest or longest, not 'middle'."},
        {{"--offset", "5=1", video}, nullptr, 2, "pane from 1 to 4, not '5=1'"},
        {{"--offset", "2=1.2345", video}, nullptr, 2, "--offset 2=1.2345: the offset is signed seconds"},
        {{"--start", "-3", video}, nullptr, 2, "--start -3: the time is seconds"},
        {{"--start", "1:75", video}, nullptr, 2, "--start 1:75:"},
        {{"--start", "1:2", video}, nullptr, 2, "--start 1:2:"},
        {{"--start", "1e3", video}, nullptr, 2, "--start 1e3:"},
        {{"--offset", "1=-24:00:00.001", video}, nullptr, 2, "--offset 1=-24:00:00.001:"},
        {{"--rate", "3", video}, nullptr, 2, "--rate takes 0.25, 1 or 2, not '3'."},
        {{"--rate", "0.5", video}, nullptr, 2, "--rate takes 0.25, 1 or 2, not '0.5'."},
        {{"--play"}, nullptr, 2, "need videos or --set to act on"},
        {{"--align-audio"}, nullptr, 2, "need videos or --set to act on"},
        {{"--print-offsets", video}, nullptr, 2, "--print-offsets goes with --align-audio."},
        {{"--align-audio", "--print-offsets", "--set", set},
         nullptr,
         2,
         "takes video files, not a saved set"},
        {{"--set", dir.filePath("gone.tetravset")}, nullptr, 2, "gone.tetravset: 文件不存在"},
        {{"--set", dir.filePath("binary.tetravset")}, nullptr, 2, "binary.tetravset: "},
        {{"--set", video}, nullptr, 2, "a saved set's name ends in .tetravset"},
        {{"--set", set, video}, nullptr, 2, "give no video files beside it"},
        {{video}, nullptr, 1, "no display to show the window on: DISPLAY is not set."},
        {{"--set", set, "--play"}, ":7931", 1, "cannot open the X display ':7931'."},
        {{video, "-display", ":7932"}, ":0", 1, "cannot open the X display ':7932'."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arguments.join(' ').toStdString());
        const RunOutcome o = RunToEnd(row.arguments, row.display, 20000);
        ASSERT_NE(o.code, -1) << "crashed or hung: " << o.err.toStdString();
        EXPECT_EQ(o.code, row.code) << o.err.toStdString();
        if (row.code == 0) {
            EXPECT_TRUE(o.out.contains(row.said)) << o.out.toStdString();
            EXPECT_TRUE(o.err.isEmpty()) << o.err.toStdString();
            continue;
        }
        EXPECT_TRUE(o.out.isEmpty()) << o.out.toStdString();
        EXPECT_EQ(o.err.count('\n'), 1) << "one line: " << o.err.toStdString();
        EXPECT_TRUE(o.err.startsWith("Tetrav: ") && o.err.contains(row.said)) << o.err.toStdString();
    }
    // The help names every option it reads.
    const QString help = RunToEnd({"--help"}).out;
    for (const char* option : {"--sync", "--reference", "--offset", "--start", "--play", "--rate", "--set",
                               "--help", "--version"}) {
        EXPECT_TRUE(help.contains(option)) << option;
    }
}

} // namespace
