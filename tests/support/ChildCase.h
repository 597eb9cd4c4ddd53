#pragma once
// Test cases that run in a child process of the test program, with an environment of their
// own (most often DISPLAY on a private Xvfb, since the test program's QApplication is tied to
// the display it started on). A child case is declared with TETRAV_CHILD_CASE(Name) { body }
// and exists only in the child; the parent runs it with RunChildCase and checks the result.
#include <QProcessEnvironment>
#include <QString>

#include <functional>

namespace tetrav::test {

struct ChildResult {
    int exitCode = -1;
    bool passed = false; // ran exactly the one case, and it passed
    QString output;      // everything the child wrote (stdout and stderr)
};

// Runs the child case name with env; waits at most timeoutMs.
ChildResult RunChildCase(const QString& name, const QProcessEnvironment& env, int timeoutMs = 60000);

// Runs the child case as a user without privileges, so that file permissions hold for it: as
// 'nobody' (through setpriv, with a home, runtime folder and GStreamer registry of its own)
// when this process runs as root, else as this process's own user. When that cannot be done,
// the result does not pass and whyNot says why (callers skip with that reason).
ChildResult RunChildCaseUnprivileged(const QString& name, const QProcessEnvironment& env, QString* whyNot,
                                     int timeoutMs = 60000);

// Registers body as the child case name when this process is the child for that case.
bool RegisterChildCase(const char* name, const char* file, int line, std::function<void()> body);

} // namespace tetrav::test

#define TETRAV_CHILD_CASE(name)                                                                              \
    static void childCase_##name();                                                                          \
    [[maybe_unused]] static const bool childCaseRegistered_##name =                                          \
        ::tetrav::test::RegisterChildCase(#name, __FILE__, __LINE__, &childCase_##name);                     \
    static void childCase_##name()

// Fails the current test with the child's output unless the child case passed.
// Evaluates its argument once, so a case run by the argument is not run again for the message.
#define EXPECT_CHILD_PASSES(result)                                                                          \
    do {                                                                                                     \
        const auto childResult_ = (result);                                                                  \
        EXPECT_TRUE(childResult_.passed) << childResult_.output.toStdString();                               \
    } while (false)
