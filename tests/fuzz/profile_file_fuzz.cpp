// The profile reader and writer on any file: read, change one key, write, read back. The key
// reads back as written, every other key reads as before, and every other line of the file is
// kept byte for byte (the changed key's line is replaced in place, or one key line is added
// to its section, or the section and the key are added at the end).
#include "FuzzCheck.h"
#include "platform/CProfileFile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QFile>
#include <QTemporaryDir>

#include <vector>

namespace {

using tetrav::fuzz::Line;
using tetrav::fuzz::linesOf;
using tetrav::fuzz::shown;

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

// old[from, to) and fresh[from + shift, to + shift) hold the same lines; the last old line may
// have gained a line end.
bool sameRun(const std::vector<Line>& old, const std::vector<Line>& fresh, size_t from, size_t to,
             size_t shift) {
    for (size_t i = from; i < to; ++i) {
        if (!sameLine(old[i], fresh[i + shift], i + 1 == old.size())) {
            return false;
        }
    }
    return true;
}

// Whether fresh is old with the one change a write may make: keyLine in place of one line, or
// added after one line, or "[section]" and keyLine added at the end.
bool oneChange(const std::vector<Line>& old, const std::vector<Line>& fresh, const QByteArray& keyLine,
               const QByteArray& header) {
    if (fresh.size() == old.size()) {
        for (size_t i = 0; i < old.size(); ++i) {
            if (!(old[i] == fresh[i])) {
                return fresh[i].text == keyLine && fresh[i].end == old[i].end &&
                       sameRun(old, fresh, i + 1, old.size(), 0);
            }
        }
        return true;
    }
    if (fresh.size() == old.size() + 1) {
        for (size_t i = 0; i < fresh.size(); ++i) {
            if (fresh[i].text == keyLine && !fresh[i].end.isEmpty() && sameRun(old, fresh, 0, i, 0) &&
                sameRun(old, fresh, i, old.size(), 1)) {
                return true;
            }
        }
        return false;
    }
    if (fresh.size() == old.size() + 2) {
        const size_t n = old.size();
        return sameRun(old, fresh, 0, n, 0) && fresh[n].text == header && fresh[n + 1].text == keyLine;
    }
    return false;
}

// The names the program writes; the fuzzer also makes its own.
const char* const kNames[] = {"FramePhase",   "FramePhaseNumber",  "MiniVideo",        "SaveMapPath",
                              "VirtualCode1", "VirtualCodeNumber", "Modifiers5",       "ModifiersNumber",
                              "ForeView",     "ForeViewNumber",    "SaveMapPathNumber"};

// A section or key name as the program uses them: one line, no brackets or "=", not a comment,
// no blanks at either end.
QString nameFrom(FuzzedDataProvider& in) {
    const uint8_t pick = in.ConsumeIntegral<uint8_t>();
    QString name;
    if (pick < 128) {
        name = QString::fromLatin1(kNames[pick % std::size(kNames)]);
        if (pick & 0x40) {
            name = name.toUpper();
        }
    } else {
        name = QString::fromUtf8(in.ConsumeRandomLengthString(24));
        name.remove(QLatin1Char('[')).remove(QLatin1Char(']')).remove(QLatin1Char('='));
        name.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
        name = name.trimmed();
        // Nor a byte order mark at its start, which the reader takes for the file's own.
        while (name.startsWith(QLatin1Char(';')) || name.startsWith(QLatin1Char('#')) ||
               name.startsWith(QChar(0xFEFF))) {
            name = name.mid(1).trimmed();
        }
    }
    return name.isEmpty() ? QStringLiteral("Key") : name;
}

// What the reader gives back for a value written: one line, trimmed, one pair of enclosing
// quotes dropped.
QString readBack(const QString& value) {
    QString v = value;
    v.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    v = QString::fromUtf8(v.toUtf8()).trimmed();
    if (v.size() >= 2 && (v.front() == QLatin1Char('"') || v.front() == QLatin1Char('\'')) &&
        v.back() == v.front()) {
        v = v.mid(1, v.size() - 2);
    }
    return v;
}

// The (section, key) pairs the file seems to hold, by a plain reading of it.
std::vector<std::pair<QString, QString>> pairsIn(const std::vector<Line>& lines) {
    std::vector<std::pair<QString, QString>> pairs;
    QString section;
    for (const Line& l : lines) {
        const QByteArray t = l.text.trimmed();
        if (t.startsWith('[') && t.contains(']')) {
            section = QString::fromUtf8(t.mid(1, t.indexOf(']') - 1)).trimmed();
        } else if (const qsizetype eq = l.text.indexOf('='); eq > 0 && pairs.size() < 16) {
            pairs.emplace_back(section, QString::fromUtf8(l.text.left(eq)).trimmed());
        }
    }
    return pairs;
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size(), path);
}

const QString kMissing = QStringLiteral("\x01missing");
constexpr int kWide = 1 << 20; // wider than any value, so nothing is clipped

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("profile.ini"));
    FuzzedDataProvider in(data, size);
    const QString section = nameFrom(in);
    const QString key = nameFrom(in);
    const QString value = QString::fromUtf8(in.ConsumeRandomLengthString(300));
    const std::vector<char> rest = in.ConsumeRemainingBytes<char>();
    const QByteArray before(rest.data(), qsizetype(rest.size()));
    writeFile(path, before);

    // file reads the file at each read; loaded reads it once per load(), as the settings do.
    CProfileFile file(path);
    CProfileFile loaded(path);
    loaded.load();
    const std::vector<Line> oldLines = linesOf(before);
    const auto pairs = pairsIn(oldLines);
    std::vector<QString> oldValues;
    for (const auto& [s, k] : pairs) {
        oldValues.push_back(loaded.getString(s, k, kMissing, kWide));
    }
    if (!pairs.empty()) {
        FUZZ_CHECK(file.getString(pairs[0].first, pairs[0].second, kMissing, kWide) == oldValues[0],
                   QStringLiteral("a loaded read differs:\n%1").arg(shown(before)));
    }

    FUZZ_CHECK(file.writeString(section, key, value), path);
    const QByteArray after = readFile(path);
    QString flat = value;
    flat.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QByteArray keyLine = key.toUtf8() + '=' + flat.toUtf8();
    const QByteArray header = '[' + section.toUtf8() + ']';
    FUZZ_CHECK(oneChange(oldLines, linesOf(after), keyLine, header),
               QStringLiteral("[%1] %2 changed more than its own line:\n%3\n->\n%4")
                   .arg(section, key, shown(before), shown(after)));

    const QString expected = readBack(value);
    const QString got = file.getString(section, key, kMissing, kWide);
    FUZZ_CHECK(got == expected,
               QStringLiteral("[%1] %2 reads %3, not %4").arg(section, key, shown(got), shown(expected)));
    loaded.load();
    // The classic buffer clips to 255 characters.
    FUZZ_CHECK(loaded.getString(section, key, kMissing) == expected.left(255), shown(expected));

    for (size_t i = 0; i < pairs.size(); ++i) {
        const auto& [s, k] = pairs[i];
        const bool same =
            s.compare(section, Qt::CaseInsensitive) == 0 && k.compare(key, Qt::CaseInsensitive) == 0;
        if (!same) {
            const QString now = loaded.getString(s, k, kMissing, kWide);
            FUZZ_CHECK(now == oldValues[i],
                       QStringLiteral("[%1] %2 was %3, now %4").arg(s, k, shown(oldValues[i]), shown(now)));
        }
    }

    // Writing the same value again changes nothing.
    FUZZ_CHECK(file.writeString(section, key, value), path);
    FUZZ_CHECK(readFile(path) == after, shown(after));
    return 0;
}
