#include "platform/CProfileFile.h"

#include "platform/CAtomicFile.h"

#include <QByteArrayList>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <optional>
#include <utility>

namespace {

// A settings file is a few hundred bytes. Anything beyond this is not read, and a file that
// large is never rewritten (its tail could not be kept).
constexpr qint64 kMaxFileBytes = 1024 * 1024;

struct Line {
    QByteArray text; // without its line end
    QByteArray end;  // "\n", "\r\n" or empty for a last line without one
};

enum class LoadResult { Missing, Loaded, Unreadable, TooLarge };

LoadResult loadLines(const QString& path, std::vector<Line>& lines) {
    lines.clear();
    QFileInfo info(path);
    if (!info.exists()) {
        return LoadResult::Missing;
    }
    QFile file(path);
    // Read in one piece: no buffer of the device's own.
    if (!info.isFile() || !file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        return LoadResult::Unreadable;
    }
    // Only what the file holds is allocated (a byte more shows a file that grew meanwhile).
    const QByteArray data = file.read(std::min(info.size() + 1, kMaxFileBytes));
    const bool tooLarge = !file.atEnd() || info.size() > kMaxFileBytes;
    qsizetype start = 0;
    while (start < data.size()) {
        const qsizetype nl = data.indexOf('\n', start);
        if (nl < 0) {
            lines.push_back({data.mid(start), QByteArray()});
            break;
        }
        qsizetype textEnd = nl;
        QByteArray end("\n");
        if (textEnd > start && data.at(textEnd - 1) == '\r') {
            --textEnd;
            end = "\r\n";
        }
        lines.push_back({data.mid(start, textEnd - start), end});
        start = nl + 1;
    }
    return tooLarge ? LoadResult::TooLarge : LoadResult::Loaded;
}

QString decode(QByteArrayView bytes) {
    return QString::fromUtf8(bytes).trimmed();
}

// "[name]" -> name; nothing when the line is not a section header.
std::optional<QString> sectionName(const QByteArray& line) {
    // Viewed, not copied: most lines are no header.
    const QByteArrayView t = QByteArrayView(line).trimmed();
    if (!t.startsWith('[')) {
        return std::nullopt;
    }
    const qsizetype close = t.indexOf(']');
    if (close < 0) {
        return std::nullopt;
    }
    return decode(t.sliced(1, close - 1));
}

bool isComment(const QByteArray& line) {
    const QByteArrayView t = QByteArrayView(line).trimmed();
    return t.startsWith(';') || t.startsWith('#');
}

// "key = value" -> (key, raw value, viewed in line); nothing when the line holds no key.
std::optional<std::pair<QString, QByteArrayView>> keyLine(const QByteArray& line) {
    if (isComment(line)) {
        return std::nullopt;
    }
    const qsizetype eq = line.indexOf('=');
    if (eq <= 0) {
        return std::nullopt;
    }
    const QString key = decode(QByteArrayView(line).first(eq));
    if (key.isEmpty()) {
        return std::nullopt;
    }
    return std::make_pair(key, QByteArrayView(line).sliced(eq + 1));
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Index of the first header of section, or -1.
qsizetype findSection(const std::vector<Line>& lines, const QString& section) {
    for (size_t i = 0; i < lines.size(); ++i) {
        const auto name = sectionName(lines[i].text);
        if (name && sameName(*name, section)) {
            return qsizetype(i);
        }
    }
    return -1;
}

// One past the last line of the section whose header is at index header.
qsizetype sectionEnd(const std::vector<Line>& lines, qsizetype header) {
    qsizetype i = header + 1;
    while (i < qsizetype(lines.size()) && !sectionName(lines[size_t(i)].text)) {
        ++i;
    }
    return i;
}

QByteArray preferredLineEnd(const std::vector<Line>& lines) {
    for (const Line& l : lines) {
        if (!l.end.isEmpty()) {
            return l.end;
        }
    }
    return "\n";
}

// Sets key in section: replaces its line in place, or adds it after the section's last key,
// or adds the section at the end of the file.
void setValue(std::vector<Line>& lines, const QString& section, const QString& key, const QString& value) {
    // A value never spans lines.
    QString flat = value;
    flat.replace('\r', ' ').replace('\n', ' ');
    const QByteArray newKeyLine = key.toUtf8() + '=' + flat.toUtf8();
    const QByteArray eol = preferredLineEnd(lines);

    const qsizetype header = findSection(lines, section);
    if (header < 0) {
        if (!lines.empty() && lines.back().end.isEmpty()) {
            lines.back().end = eol;
        }
        lines.push_back({'[' + section.toUtf8() + ']', eol});
        lines.push_back({newKeyLine, eol});
        return;
    }
    const qsizetype end = sectionEnd(lines, header);
    qsizetype lastKey = header;
    for (qsizetype i = header + 1; i < end; ++i) {
        const auto kv = keyLine(lines[size_t(i)].text);
        if (!kv) {
            continue;
        }
        lastKey = i;
        if (sameName(kv->first, key)) {
            lines[size_t(i)].text = newKeyLine;
            return;
        }
    }
    Line& before = lines[size_t(lastKey)];
    if (before.end.isEmpty()) {
        before.end = eol;
    }
    lines.insert(lines.begin() + lastKey + 1, Line{newKeyLine, eol});
}

} // namespace

struct CProfileFile::Loaded {
    LoadResult result = LoadResult::Missing;
    std::vector<Line> lines;
};

CProfileFile::CProfileFile(QString path) : m_path(std::move(path)) {}

void CProfileFile::load() {
    auto loaded = std::make_shared<Loaded>();
    loaded->result = loadLines(m_path, loaded->lines);
    m_loaded = std::move(loaded);
}

bool CProfileFile::exists() const {
    return QFileInfo(m_path).isFile();
}

QString CProfileFile::getString(const QString& section, const QString& key, const QString& def,
                                int maxChars) const {
    const auto clip = [maxChars](QString s) {
        if (maxChars <= 0) {
            return QString();
        }
        if (s.size() > maxChars - 1) {
            s.truncate(maxChars - 1);
        }
        return s;
    };
    std::vector<Line> read;
    const LoadResult r = m_loaded ? m_loaded->result : loadLines(m_path, read);
    const std::vector<Line>& lines = m_loaded ? m_loaded->lines : read;
    if (r == LoadResult::Missing || r == LoadResult::Unreadable) {
        return clip(def);
    }
    const qsizetype header = findSection(lines, section);
    if (header < 0) {
        return clip(def);
    }
    const qsizetype end = sectionEnd(lines, header);
    for (qsizetype i = header + 1; i < end; ++i) {
        const auto kv = keyLine(lines[size_t(i)].text);
        if (!kv || !sameName(kv->first, key)) {
            continue;
        }
        QString value = decode(kv->second);
        // As the classic reader does, one pair of enclosing quotes is dropped.
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front()) {
            value = value.mid(1, value.size() - 2);
        }
        return clip(value);
    }
    return clip(def);
}

bool CProfileFile::writeString(const QString& section, const QString& key, const QString& value) {
    return writeStrings({{section, key, value}});
}

bool CProfileFile::writeStrings(const std::vector<Entry>& entries, QString* why) {
    const auto fail = [why](const QString& reason) {
        if (why != nullptr) {
            *why = reason;
        }
        return false;
    };
    m_loaded.reset(); // what was read is old news after a write, and before it when it fails
    std::vector<Line> lines;
    const LoadResult r = loadLines(m_path, lines);
    if (r == LoadResult::Unreadable) {
        // Rewriting a file we could not read whole would lose what we did not read.
        return fail(QStringLiteral("无法读取原文件"));
    }
    if (r == LoadResult::TooLarge) {
        return fail(QStringLiteral("原文件太大"));
    }
    for (const Entry& e : entries) {
        setValue(lines, e.section, e.key, e.value);
    }

    int error = 0;
    if (!CAtomicFile::MakeFolder(QFileInfo(m_path).absolutePath(), &error)) {
        return fail(CAtomicFile::ErrorText(error));
    }
    QByteArray out;
    for (const Line& l : lines) {
        out += l.text;
        out += l.end;
    }
    // Written whole beside the old file and renamed over it: a full disk or a crash never
    // leaves half a file.
    QString reason;
    return CAtomicFile::WriteWhole(m_path, out, &reason) || fail(reason);
}
