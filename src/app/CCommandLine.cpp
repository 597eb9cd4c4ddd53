#include "app/CCommandLine.h"

#include "dialogs/CAboutDlg.h"
#include "sets/CSetFile.h"
#include "settings/CSettingsFile.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <X11/Xlib.h>

#include <cmath>

namespace {

constexpr double kMaxOffset = CSetFile::kMaxOffset;

// Qt's own options that take a value, and those that do not (single dash, as Qt reads them).
const QStringList kQtValueOptions = {QStringLiteral("-platform"),      QStringLiteral("-platformpluginpath"),
                                     QStringLiteral("-platformtheme"), QStringLiteral("-plugin"),
                                     QStringLiteral("-display"),       QStringLiteral("-style"),
                                     QStringLiteral("-stylesheet"),    QStringLiteral("-qwindowgeometry"),
                                     QStringLiteral("-qwindowtitle"),  QStringLiteral("-qwindowicon"),
                                     QStringLiteral("-geometry"),      QStringLiteral("-title"),
                                     QStringLiteral("-name"),          QStringLiteral("-session")};
const QStringList kQtFlagOptions = {QStringLiteral("-reverse"), QStringLiteral("-widgetcount"),
                                    QStringLiteral("-nograb"), QStringLiteral("-dograb")};

CCommandLine::Parsed Refuse(const QString& why) {
    CCommandLine::Parsed parsed;
    parsed.action = CCommandLine::Action::Error;
    parsed.text = why;
    return parsed;
}

QString ValueOf(const QStringList& qtArguments, const QString& option) {
    const qsizetype i = qtArguments.lastIndexOf(option);
    return i >= 0 && i + 1 < qtArguments.size() ? qtArguments[i + 1] : QString();
}

struct ExportOptions {
    QCommandLineOption exportTo, from, to, size, sound, force, start, play, rate, set, alignAudio;
};

// --export OUT [--from T] [--to T] [--size WxH] [--sound S] [--force] with the set's files.
CCommandLine::Parsed ParseExport(const QCommandLineParser& parser, CCommandLine::Parsed parsed,
                                 const ExportOptions& e) {
    for (const QCommandLineOption& o : {e.start, e.play, e.rate, e.set, e.alignAudio}) {
        if (parser.isSet(o)) {
            return Refuse(QStringLiteral("--%1 does not go with --export.").arg(o.names().constFirst()));
        }
    }
    if (parsed.files.isEmpty() || parsed.files.size() > 4) {
        return Refuse(QStringLiteral("--export takes one to four videos (\"\" for an empty pane)."));
    }
    ExportJob& job = parsed.exportJob;
    job.output = parser.values(e.exportTo).constLast();
    for (qsizetype k = 0; k < parsed.files.size(); ++k) {
        job.paths[std::size_t(k)] = parsed.files[k];
        job.offsets[std::size_t(k)] = parsed.options.offset[k].value_or(0.0);
    }
    // The reference rule of the command line, else the user's setting (the shortest by default).
    job.referenceRule = parsed.options.reference >= 0
                            ? parsed.options.reference
                            : (CSettingsFile::ToInt8(CSettingsFile::ReadEntry(
                                   QStringLiteral("MiniVideo"), QStringLiteral("MiniVideoNumber"))) == 1
                                   ? 1
                                   : 0);
    job.from = 0.0;
    job.to = -1.0;
    for (const auto& [option, value] : {std::pair{&e.from, &job.from}, std::pair{&e.to, &job.to}}) {
        if (parser.isSet(*option)) {
            const QString v = parser.values(*option).constLast();
            if (!CCommandLine::ParseTime(v, false, value)) {
                return Refuse(
                    QStringLiteral("--%1 %2: the time is seconds, m:ss or h:mm:ss (at most milliseconds), "
                                   "e.g. 12.5 or 1:02:03.250.")
                        .arg(option->names().constFirst(), v));
            }
        }
    }
    if (parser.isSet(e.size)) {
        static const QRegularExpression pattern(QStringLiteral("^(\\d{1,5})x(\\d{1,5})$"));
        const QString v = parser.values(e.size).constLast();
        const QRegularExpressionMatch m = pattern.match(v);
        job.size = m.hasMatch() ? QSize(m.captured(1).toInt(), m.captured(2).toInt()) : QSize();
        if (!ExportJob::IsUsableSize(job.size)) {
            return Refuse(
                QStringLiteral("--size %1: WxH, both multiples of 4, from 16x16 to 7680x4320.").arg(v));
        }
    }
    if (parser.isSet(e.sound)) {
        const QString v = parser.values(e.sound).constLast();
        if (v == QLatin1String("reference")) {
            job.sound = ExportJob::Sound::Reference;
        } else if (v == QLatin1String("mix")) {
            job.sound = ExportJob::Sound::Mix;
        } else if (v == QLatin1String("none")) {
            job.sound = ExportJob::Sound::Silent;
        } else {
            return Refuse(QStringLiteral("--sound takes reference, mix or none, not '%1'.").arg(v));
        }
    }
    job.overwrite = parser.isSet(e.force);
    job.container = ExportJob::ContainerFor(job.output);
    parsed.action = CCommandLine::Action::Export;
    return parsed;
}

} // namespace

bool CCommandLine::ParseTime(const QString& text, bool allowSign, double* seconds) {
    static const QRegularExpression pattern(
        QStringLiteral(R"(^([+-])?(\d+(?::\d\d){0,2})(?:\.(\d{1,3}))?$)"));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch() || (!allowSign && m.capturedLength(1) > 0)) {
        return false;
    }
    // h:mm:ss, m:ss or s: the parts after the first are below 60.
    const QStringList parts = m.captured(2).split(QLatin1Char(':'));
    double value = 0.0;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const double part = parts[i].toDouble();
        if (i > 0 && part >= 60.0) {
            return false;
        }
        value = value * 60.0 + part;
    }
    const QString fraction = m.captured(3);
    value += fraction.isEmpty() ? 0.0 : fraction.toDouble() / std::pow(10.0, double(fraction.size()));
    if (!std::isfinite(value) || value > kMaxOffset) {
        return false;
    }
    *seconds = m.captured(1) == QLatin1String("-") ? -value : value;
    return true;
}

CCommandLine::Parsed CCommandLine::Parse(const QStringList& arguments) {
    // Qt's options go to Qt; "--" ends the options, so a file may begin with a dash.
    QStringList own;
    QStringList qt;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--")) {
            own << arguments.mid(i);
            break;
        }
        if (kQtValueOptions.contains(a) && i + 1 < arguments.size()) {
            qt << a << arguments[i + 1];
            ++i;
        } else if (kQtFlagOptions.contains(a)) {
            qt << a;
        } else {
            own << a;
        }
    }

    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, {});
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, {});
    const QCommandLineOption sync(QStringLiteral("sync"), {}, QStringLiteral("mode"));
    const QCommandLineOption reference(QStringLiteral("reference"), {}, QStringLiteral("rule"));
    const QCommandLineOption offset(QStringLiteral("offset"), {}, QStringLiteral("pane=seconds"));
    const QCommandLineOption start(QStringLiteral("start"), {}, QStringLiteral("time"));
    const QCommandLineOption play(QStringLiteral("play"), {});
    const QCommandLineOption rate(QStringLiteral("rate"), {}, QStringLiteral("rate"));
    const QCommandLineOption set(QStringLiteral("set"), {}, QStringLiteral("file"));
    const QCommandLineOption alignAudio(QStringLiteral("align-audio"), {});
    const QCommandLineOption printOffsets(QStringLiteral("print-offsets"), {});
    const QCommandLineOption exportTo(QStringLiteral("export"), {}, QStringLiteral("file"));
    const QCommandLineOption from(QStringLiteral("from"), {}, QStringLiteral("time"));
    const QCommandLineOption to(QStringLiteral("to"), {}, QStringLiteral("time"));
    const QCommandLineOption size(QStringLiteral("size"), {}, QStringLiteral("WxH"));
    const QCommandLineOption sound(QStringLiteral("sound"), {}, QStringLiteral("which"));
    const QCommandLineOption force(QStringLiteral("force"), {});
    parser.addOptions({help, version, sync, reference, offset, start, play, rate, set, exportTo, from, to,
                       size, sound, force, alignAudio, printOffsets});
    // The program's name first, as the parser expects.
    if (!parser.parse(QStringList{QStringLiteral("tetrav")} + own)) {
        return Refuse(parser.errorText());
    }

    Parsed parsed;
    parsed.qtArguments = qt;
    if (parser.isSet(help)) {
        parsed.action = Action::Help;
        parsed.text = HelpText();
        return parsed;
    }
    if (parser.isSet(version)) {
        parsed.action = Action::Version;
        parsed.text = VersionText();
        return parsed;
    }

    RunOptions& o = parsed.options;
    if (parser.isSet(sync)) {
        const QString v = parser.values(sync).constLast();
        if (v != QLatin1String("frame") && v != QLatin1String("time")) {
            return Refuse(QStringLiteral("--sync takes frame or time, not '%1'.").arg(v));
        }
        o.syncMode = v == QLatin1String("frame") ? 1 : 0;
    }
    if (parser.isSet(reference)) {
        const QString v = parser.values(reference).constLast();
        if (v != QLatin1String("shortest") && v != QLatin1String("longest")) {
            return Refuse(QStringLiteral("--reference takes shortest or longest, not '%1'.").arg(v));
        }
        o.reference = v == QLatin1String("shortest") ? 1 : 0;
    }
    for (const QString& v : parser.values(offset)) {
        static const QRegularExpression paneValue(QStringLiteral("^([1-4])=(.*)$"));
        const QRegularExpressionMatch m = paneValue.match(v);
        double seconds = 0.0;
        if (!m.hasMatch()) {
            return Refuse(
                QStringLiteral("--offset takes PANE=SECONDS with a pane from 1 to 4, not '%1'.").arg(v));
        }
        if (!ParseTime(m.captured(2), true, &seconds)) {
            return Refuse(QStringLiteral("--offset %1: the offset is signed seconds (at most milliseconds, "
                                         "within 24 hours), e.g. -3.2 or 1:02.5.")
                              .arg(v));
        }
        o.offset[m.captured(1).toInt() - 1] = seconds;
    }
    if (parser.isSet(start)) {
        const QString v = parser.values(start).constLast();
        double seconds = 0.0;
        if (!ParseTime(v, false, &seconds)) {
            return Refuse(QStringLiteral("--start %1: the time is seconds, m:ss or h:mm:ss (at most "
                                         "milliseconds), e.g. 12.5 or 1:02:03.250.")
                              .arg(v));
        }
        o.start = seconds;
    }
    if (parser.isSet(rate)) {
        const QString v = parser.values(rate).constLast();
        bool ok = false;
        const double r = v.toDouble(&ok);
        if (!ok || (r != 0.25 && r != 1.0 && r != 2.0)) {
            return Refuse(QStringLiteral("--rate takes 0.25, 1 or 2, not '%1'.").arg(v));
        }
        o.rate = r;
    }
    o.play = parser.isSet(play);
    o.alignAudio = parser.isSet(alignAudio);
    o.printOffsets = parser.isSet(printOffsets);
    if (o.printOffsets && !o.alignAudio) {
        return Refuse(QStringLiteral("--print-offsets goes with --align-audio."));
    }
    if (o.printOffsets && parser.isSet(set)) {
        return Refuse(QStringLiteral("--print-offsets takes video files, not a saved set."));
    }

    parsed.files = parser.positionalArguments();
    if (parser.isSet(set)) {
        const QString path = parser.values(set).constLast();
        if (!parsed.files.isEmpty()) {
            return Refuse(QStringLiteral("--set opens a saved set; give no video files beside it."));
        }
        CSetFile file;
        QString why;
        if (!CSetFile::IsSetFile(path)) {
            return Refuse(
                QStringLiteral("--set %1: a saved set's name ends in .%2.").arg(path, CSetFile::kSuffix));
        }
        if (!file.Read(path, &why)) {
            return Refuse(QStringLiteral("--set %1: %2").arg(QDir::toNativeSeparators(path), why));
        }
        parsed.files = {QFileInfo(path).absoluteFilePath()};
    }
    if (parser.isSet(exportTo)) {
        return ParseExport(parser, parsed,
                           {exportTo, from, to, size, sound, force, start, play, rate, set, alignAudio});
    }
    for (const QCommandLineOption& o : {from, to, size, sound, force}) {
        if (parser.isSet(o)) {
            return Refuse(QStringLiteral("--%1 belongs to --export.").arg(o.names().constFirst()));
        }
    }
    if (parsed.files.isEmpty() && o.NeedsASet()) {
        return Refuse(QStringLiteral(
            "--offset, --start, --rate, --play and --align-audio need videos or --set to act on."));
    }
    return parsed;
}

QString CCommandLine::VersionText() {
    return QStringLiteral("Tetrav %1\n").arg(QLatin1String(CAboutDlg::kVersion));
}

QString CCommandLine::HelpText() {
    return QStringLiteral(
        "Usage: tetrav [OPTION]... [FILE]...\n"
        "Play up to four videos side by side in a 2 x 2 grid, in step.\n"
        "\n"
        "The nth FILE opens in pane n (1 top left, 2 bottom left, 3 top right, 4 bottom right);\n"
        "a saved set (.tetravset) opens as the set it names. While Tetrav runs, a second start\n"
        "hands its files and options to the running window and ends.\n"
        "\n"
        "Options for this run only (the settings file keeps yours):\n"
        "      --sync MODE         frame: every pane on the frame of the same instant;\n"
        "                          time: the panes kept within the same second\n"
        "      --reference RULE    shortest or longest: the video whose length is the set's\n"
        "      --offset PANE=TIME  pane PANE (1-4) shows the reference's instant plus TIME,\n"
        "                          signed seconds with milliseconds; may be given for each pane\n"
        "      --start TIME        go to TIME of the reference once the set is open\n"
        "      --play              start playing once the set is open\n"
        "      --rate RATE         0.25 (slow), 1 (normal) or 2 (fast)\n"
        "      --set FILE          open the saved set FILE (.tetravset)\n"
        "      --align-audio       line the panes up by their sound once the set is open\n"
        "      --print-offsets     with --align-audio: print each pane's offset in seconds,\n"
        "                          one line per file, and end without a window (exit status 3\n"
        "                          when a pane could not be aligned; the reasons on stderr)\n"
        "\n"
        "Export instead of playing (no window, no display needed):\n"
        "      --export FILE       write the set as one video, the panes as on screen, in\n"
        "                          step (mp4 with H.264 and AAC; .mkv for Matroska)\n"
        "      --from TIME         where it starts in the reference's time (default 0)\n"
        "      --to TIME           where it ends (default the reference's end)\n"
        "      --size WxH          the picture (default twice the reference's, at most\n"
        "                          3840x2160)\n"
        "      --sound WHICH       reference (default), mix (all panes) or none\n"
        "      --force             replace FILE when it exists\n"
        "\n"
        "  -h, --help              print this help and end\n"
        "  -v, --version           print the version and end\n"
        "\n"
        "TIME is seconds (12.5), m:ss (1:30) or h:mm:ss (1:02:03.250).\n"
        "\n"
        "Examples:\n"
        "  tetrav front.mp4 side.mkv --sync time\n"
        "  tetrav a.mp4 b.mp4 c.mp4 d.mp4 --reference longest --start 1:30 --play\n"
        "  tetrav take1.mp4 take2.mp4 --offset 2=-3.2 --rate 0.25\n"
        "  tetrav --set match.tetravset --play\n"
        "  tetrav --align-audio --print-offsets cam1.mp4 cam2.mkv cam3.mov\n"
        "  tetrav --export goal.mp4 --from 1:02:03 --to 1:02:13.500 a.mp4 b.mkv --offset 2=-3.2\n"
        "\n"
        "Exit status: 0 when the window was closed or the files were handed to the copy that\n"
        "runs (with --export: when the file is complete), 1 without a display (with --export:\n"
        "when the file could not be made), 2 for an unusable command line, 18 on a screen smaller\n"
        "than 1024 x 768 or while another copy runs (and takes no files from this one).\n");
}

QString CCommandLine::DisplayProblem(const QStringList& qtArguments) {
    QString platforms = ValueOf(qtArguments, QStringLiteral("-platform"));
    if (platforms.isEmpty()) {
        platforms = qEnvironmentVariable("QT_QPA_PLATFORM");
    }
    if (platforms.isEmpty()) {
        // Qt's own choice: Wayland first in a Wayland session, else X11.
        platforms = qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland")
                        ? QStringLiteral("wayland;xcb")
                        : QStringLiteral("xcb");
    }
    QString problem;
    for (const QString& entry : platforms.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString name = entry.section(QLatin1Char(':'), 0, 0);
        if (name == QLatin1String("xcb")) {
            QString display = ValueOf(qtArguments, QStringLiteral("-display"));
            if (display.isEmpty()) {
                display = qEnvironmentVariable("DISPLAY");
            }
            if (display.isEmpty()) {
                problem = QStringLiteral("no display to show the window on: DISPLAY is not set.");
                continue;
            }
            Display* x = XOpenDisplay(display.toLocal8Bit().constData());
            if (x == nullptr) {
                problem = QStringLiteral("cannot open the X display '%1'.").arg(display);
                continue;
            }
            XCloseDisplay(x);
            return {};
        }
        if (name.startsWith(QLatin1String("wayland"))) {
            if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
                problem = QStringLiteral("no display to show the window on: WAYLAND_DISPLAY is not set.");
                continue;
            }
            return {};
        }
        return {}; // offscreen, vnc, eglfs...: Qt says itself what it lacks
    }
    return problem;
}
