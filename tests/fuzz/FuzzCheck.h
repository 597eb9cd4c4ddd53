#pragma once
// The fuzz targets' check: it stops the run with a message, and libFuzzer keeps the input that
// broke it.
#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>

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

} // namespace tetrav::fuzz

#define FUZZ_CHECK(cond, detail)                                                                             \
    do {                                                                                                     \
        if (!(cond)) {                                                                                       \
            ::tetrav::fuzz::fail(__FILE__, __LINE__, #cond, (detail));                                       \
        }                                                                                                    \
    } while (0)
