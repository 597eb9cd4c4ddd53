#pragma once
// The fuzz targets' check: it stops the run with a message, and libFuzzer keeps the input that
// broke it.
#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace tetrav::fuzz {

[[noreturn]] inline void fail(const char* file, int line, const char* what, const QString& detail) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n%s\n", file, line, what, detail.toUtf8().constData());
    std::abort();
}

// Shows a value in a failure message with every byte visible.
inline QString shown(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toPercentEncoding(" :/[]=;#.,_-+"));
}
inline QString shown(const QString& text) {
    return shown(text.toUtf8());
}

// One line of a file with its own line end ("\n", "\r\n", or none for a last line without one).
struct Line {
    QByteArray text, end;
    bool operator==(const Line&) const = default;
};

// The file as lines.
inline std::vector<Line> linesOf(const QByteArray& data) {
    std::vector<Line> lines;
    qsizetype start = 0;
    while (start < data.size()) {
        const qsizetype nl = data.indexOf('\n', start);
        if (nl < 0) {
            lines.push_back({data.mid(start), {}});
            break;
        }
        const bool crlf = nl > start && data.at(nl - 1) == '\r';
        lines.push_back({data.mid(start, nl - start - (crlf ? 1 : 0)), crlf ? "\r\n" : "\n"});
        start = nl + 1;
    }
    return lines;
}

} // namespace tetrav::fuzz

#define FUZZ_CHECK(cond, detail)                                                                             \
    do {                                                                                                     \
        if (!(cond)) {                                                                                       \
            ::tetrav::fuzz::fail(__FILE__, __LINE__, #cond, (detail));                                       \
        }                                                                                                    \
    } while (0)
