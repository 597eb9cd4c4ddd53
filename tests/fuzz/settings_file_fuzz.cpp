// The settings file as the program reads and writes it, starting from any file: the options and
// hot keys written read back as written (the folder as the reader gives back a value), and every
// line that is not one of the written entries stays, in order, byte for byte.
#include "FuzzCheck.h"
#include "settings/CSettingsFile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <array>
#include <vector>

namespace {

using tetrav::fuzz::Line;
using tetrav::fuzz::linesOf;
using tetrav::fuzz::shown;

const char* const kSections[] = {"FramePhase",   "MiniVideo",  "ForeView",     "SaveMapPath",
                                 "VirtualCode1", "Modifiers1", "VirtualCode2", "Modifiers2",
                                 "VirtualCode3", "Modifiers3", "VirtualCode4", "Modifiers4",
                                 "VirtualCode5", "Modifiers5"};
const char* const kKeys[] = {"FramePhaseNumber",  "MiniVideoNumber",   "ForeViewNumber",
                             "SaveMapPathNumber", "VirtualCodeNumber", "ModifiersNumber"};

bool isOneOf(const QString& name, const auto& names) {
    for (const char* n : names) {
        if (name.compare(QLatin1String(n), Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

// Whether fresh holds the old line: the same bytes, or, for a last line without a line end,
// the same bytes with one added (which may join a carriage return the line ended in).
bool sameLine(const Line& old, const Line& fresh, bool last) {
    if (old.text == fresh.text && old.end == fresh.end) {
        return true;
    }
    if (!last || !old.end.isEmpty()) {
        return false;
    }
    const QByteArray now = fresh.text + fresh.end;
    return now == old.text + "\n" || now == old.text + "\r\n";
}

// A line the writes may replace: a key line of a written key inside a written section.
bool replaceable(const Line& line, bool inWrittenSection) {
    if (!inWrittenSection) {
        return false;
    }
    const QByteArray t = line.text.trimmed();
    const qsizetype eq = line.text.indexOf('=');
    if (t.startsWith(';') || t.startsWith('#') || eq <= 0) {
        return false;
    }
    return isOneOf(QString::fromUtf8(line.text.left(eq)).trimmed(), kKeys);
}

// Whether every line of old that no write may replace is in fresh, in the same order.
bool keptInOrder(const std::vector<Line>& old, const std::vector<Line>& fresh, QString& missing) {
    size_t j = 0;
    bool inWritten = false;
    for (size_t i = 0; i < old.size(); ++i) {
        const QByteArray t = old[i].text.trimmed();
        if (t.startsWith('[') && t.contains(']')) {
            inWritten = isOneOf(QString::fromUtf8(t.mid(1, t.indexOf(']') - 1)).trimmed(), kSections);
        }
        if (replaceable(old[i], inWritten)) {
            continue;
        }
        const bool last = i + 1 == old.size();
        while (j < fresh.size() && !sameLine(old[i], fresh[j], last)) {
            ++j;
        }
        if (j == fresh.size()) {
            missing = QString::fromUtf8(old[i].text);
            return false;
        }
        ++j;
    }
    return true;
}

QString readBack(const QString& value) {
    QString v = value;
    v.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    v = QString::fromUtf8(v.toUtf8()).trimmed();
    if (v.size() >= 2 && (v.front() == QLatin1Char('"') || v.front() == QLatin1Char('\'')) &&
        v.back() == v.front()) {
        v = v.mid(1, v.size() - 2);
    }
    return CSettingsFile::SnapshotFolder(v); // read whole; an empty one is the default folder
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static QTemporaryDir dir;
    // The settings file lives in $XDG_CONFIG_HOME/tetrav: here, a folder of this run's own.
    setenv("XDG_CONFIG_HOME", dir.path().toUtf8().constData(), 1);
    QDir().mkpath(CSettingsFile::Folder());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    CSettings next;
    next.FramePhase = in.ConsumeIntegral<int8_t>();
    next.MiniVideo = in.ConsumeIntegral<int8_t>();
    next.ForeView = in.ConsumeIntegral<int8_t>();
    next.SaveMapPath = QString::fromUtf8(in.ConsumeRandomLengthString(300));
    std::array<HotKeySetting, 4> keys;
    for (HotKeySetting& k : keys) {
        k.virtualKey = in.ConsumeIntegral<uint16_t>();
        k.modifiers = in.ConsumeIntegral<uint16_t>();
    }
    const HotKeySetting all{in.ConsumeIntegral<uint16_t>(), in.ConsumeIntegral<uint16_t>()};
    const std::vector<char> rest = in.ConsumeRemainingBytes<char>();
    const QByteArray before(rest.data(), qsizetype(rest.size()));

    const QString path = CSettingsFile::FilePath();
    {
        QFile f(path);
        FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(before) == before.size(),
                   path);
    }

    // Whatever the file holds, it reads without harm and the hot keys keep to 16 bits.
    CSettings read;
    HotKeySetting readKeys[4];
    CSettingsFile::Read(read, readKeys);
    for (const HotKeySetting& k : readKeys) {
        FUZZ_CHECK(k.virtualKey <= 0xFFFF && k.modifiers <= 0xFFFF, shown(before));
    }
    const HotKeySetting readAll = CSettingsFile::ReadCaptureAllKey();
    FUZZ_CHECK(readAll.virtualKey <= 0xFFFF && readAll.modifiers <= 0xFFFF, shown(before));

    FUZZ_CHECK(CSettingsFile::Write(next, keys.data()), shown(before));
    FUZZ_CHECK(CSettingsFile::WriteCaptureAllKey(all), shown(before));
    const QByteArray after = readFile(path);

    CSettings again;
    HotKeySetting againKeys[4];
    CSettingsFile::Read(again, againKeys);
    const QString detail = shown(before) + QStringLiteral("\n->\n") + shown(after);
    FUZZ_CHECK(again.FramePhase == next.FramePhase && again.MiniVideo == next.MiniVideo &&
                   again.ForeView == next.ForeView,
               detail);
    FUZZ_CHECK(again.SaveMapPath == readBack(next.SaveMapPath), shown(again.SaveMapPath) + "\n" + detail);
    for (size_t n = 0; n < 4; ++n) {
        FUZZ_CHECK(againKeys[n] == keys[n], QStringLiteral("hot key %1\n").arg(n + 1) + detail);
    }
    FUZZ_CHECK(CSettingsFile::ReadCaptureAllKey() == all && CSettingsFile::HasCaptureAllKey(), detail);

    QString missing;
    FUZZ_CHECK(keptInOrder(linesOf(before), linesOf(after), missing),
               QStringLiteral("lost line: %1\n").arg(shown(missing)) + detail);
    return 0;
}
