#pragma once
// The real program on a private X server with a set of clips from the command line, driven only as
// a user drives it: the pointer and keys through XTEST (xdotool), the desktop's media controls
// over D-Bus. Where the controls are comes from the accessibility bus; what the panes show comes
// from the screen (the clips draw their frame numbers into their pictures).
#include "e2e/AtspiClient.h"
#include "e2e/DesktopEnvironment.h"
#include "support/FileBytes.h"
#include "support/FrameIndex.h"
#include "support/PrivateSessionBus.h"
#include "support/ProgramRun.h"
#include "support/TestEnv.h"
#include "support/X11Probe.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>

namespace tetrav::test {

// What the screen shows of the four panes at one moment: each pane's frame number (-1: none
// readable) and when the screen was read (ms since the session started).
struct PaneFrames {
    std::array<int, 4> n{-1, -1, -1, -1};
    qint64 atMs = 0;
    bool operator==(const PaneFrames& o) const { return n == o.n; }
};

// Waits (at most timeoutMs) until the program run has put its window on the accessibility bus
// and ready() holds for its tree, or until it ended; app and tree are what was found last.
inline bool WaitForProgramOnBus(AtspiClient& atspi, ProgramRun& run, QString& app,
                                QList<AccessibleNode>& tree, const std::function<bool()>& ready,
                                int timeoutMs) {
    return WaitUntil(
               [&] {
                   app = atspi.findApplication(run.pid());
                   tree = atspi.tree(app);
                   return !run.isRunning() || ready();
               },
               timeoutMs, 100) &&
           run.isRunning() && !app.isEmpty();
}

class SetSession {
public:
    SetSession() : m_sessionName(QStringLiteral("walk-session-%1").arg(++s_sessions)) { m_clock.start(); }
    ~SetSession() {
        m_session.reset();
        QDBusConnection::disconnectFromBus(m_sessionName);
    }
    SetSession(const SetSession&) = delete;
    SetSession& operator=(const SetSession&) = delete;

    bool ready() const { return m_x.isRunning() && m_bus.isRunning() && m_config.isValid(); }

    // Starts the program with the clips (empty entries: "" on the command line keeps the slot
    // empty) and the settings text, and waits until its controls are on the accessibility bus.
    // Empty on success, else what went wrong.
    QString start(const QStringList& clips, const QString& settings) {
        if (!m_atspi.connect(m_bus.address())) {
            return QStringLiteral("no accessibility bus");
        }
        writeAll(m_config.filePath(QStringLiteral("tetrav/TetravSet.ini")), settings.toUtf8());
        QProcessEnvironment env = DesktopEnvironment(m_x, m_bus, m_runtime, m_config);
        m_run = std::make_unique<ProgramRun>(env, clips);
        const bool found = WaitForProgramOnBus(
            m_atspi, *m_run, m_app, m_tree,
            [&] { return find(QStringLiteral("播放进度")) && find(QStringLiteral("视频四")); }, 30000);
        if (!found) {
            return QStringLiteral("the program did not come up: ") +
                   QString::fromStdString(m_run->describe());
        }
        return {};
    }

    // Looks the controls up again (after dialogs, or once a set has opened).
    void refresh() { m_tree = m_atspi.tree(m_app); }

    std::optional<AccessibleNode> find(const QString& name, const QString& role = {}) const {
        for (const AccessibleNode& n : m_tree) {
            if (n.name == name && (role.isEmpty() || n.role == role)) {
                return n;
            }
        }
        return std::nullopt;
    }
    QRect extents(const QString& name, const QString& role = {}) {
        const auto node = find(name, role);
        return node ? m_atspi.extentsOnScreen(*node) : QRect();
    }
    // The value of a control with a value (NaN: none).
    double value(const QString& name) {
        const auto node = find(name);
        return node ? m_atspi.value(*node) : std::numeric_limits<double>::quiet_NaN();
    }
    bool enabled(const QString& name) {
        const auto node = find(name);
        return node && m_atspi.isEnabled(*node);
    }
    // Every text of the status bar, in tree order.
    QStringList statusTexts() {
        refresh();
        return m_atspi.statusTexts(m_tree);
    }

    // Where each text of the status bar is on the screen, in tree order.
    QList<QRect> statusRects() {
        refresh();
        QList<QRect> rects;
        for (int i = 0; i < m_tree.size(); ++i) {
            for (int p = m_tree[i].parent; p >= 0; p = m_tree[p].parent) {
                if (m_tree[p].role == QLatin1String("status bar") ||
                    m_tree[p].name == QStringLiteral("状态栏")) {
                    rects << m_atspi.extentsOnScreen(m_tree[i]);
                    break;
                }
            }
        }
        return rects;
    }

    // The pointer and the keyboard, through the X server.
    bool xdotool(const QStringList& arguments, QString* why = nullptr) {
        return Xdotool(m_x.display(), arguments, why);
    }
    bool click(QPoint at) {
        return xdotool({"mousemove", QString::number(at.x()), QString::number(at.y()), "click", "1"});
    }
    bool key(const QString& keys) { return xdotool({"key", keys}); }
    // Gives the window the keyboard focus (no window manager runs on this display).
    bool focus() {
        return xdotool({"search", "--onlyvisible", "--pid", QString::number(m_run->pid()), "--name", ".",
                        "windowfocus", "%1"});
    }

    // Calls an MPRIS method of the program (interface org.mpris.MediaPlayer2.Player).
    bool mpris(const QString& method, const QVariantList& arguments = {}) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.mpris.MediaPlayer2.tetrav"), QStringLiteral("/org/mpris/MediaPlayer2"),
            QStringLiteral("org.mpris.MediaPlayer2.Player"), method);
        call.setArguments(arguments);
        return session().call(call, QDBus::Block, 5000).type() == QDBusMessage::ReplyMessage;
    }
    QVariant mprisProperty(const QString& name) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.mpris.MediaPlayer2.tetrav"), QStringLiteral("/org/mpris/MediaPlayer2"),
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        call << QStringLiteral("org.mpris.MediaPlayer2.Player") << name;
        const QDBusMessage reply = session().call(call, QDBus::Block, 5000);
        return reply.arguments().isEmpty() ? QVariant()
                                           : reply.arguments().at(0).value<QDBusVariant>().variant();
    }
    bool setMprisProperty(const QString& name, const QVariant& value) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.mpris.MediaPlayer2.tetrav"), QStringLiteral("/org/mpris/MediaPlayer2"),
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"));
        call << QStringLiteral("org.mpris.MediaPlayer2.Player") << name
             << QVariant::fromValue(QDBusVariant(value));
        return session().call(call, QDBus::Block, 5000).type() == QDBusMessage::ReplyMessage;
    }
    // An exact go-to over MPRIS (SetPosition of the current track).
    bool setPosition(double seconds) {
        const QVariantMap metadata = qdbus_cast<QVariantMap>(mprisProperty(QStringLiteral("Metadata")));
        const QDBusObjectPath track =
            qvariant_cast<QDBusObjectPath>(metadata.value(QStringLiteral("mpris:trackid")));
        return mpris(QStringLiteral("SetPosition"),
                     {QVariant::fromValue(track), QVariant::fromValue(qlonglong(seconds * 1e6 + 0.5))});
    }

    // The four panes' places on the screen and where a picture of the clips' size lies in each.
    bool locatePanes(QSize source = QSize(320, 240)) {
        static const QString names[4] = {"视频一", "视频二", "视频三", "视频四"};
        m_sourceHeight = source.height();
        for (int k = 0; k < 4; ++k) {
            m_pane[k] = extents(names[k]);
            m_picture[k] = enginetest::fittedRect(source, m_pane[k]);
            if (m_pane[k].isEmpty()) {
                return false;
            }
        }
        return true;
    }
    QRect pane(int k) const { return m_pane[k]; }

    PaneFrames read() {
        PaneFrames f;
        const QImage screen = GrabScreen(m_x.display());
        f.atMs = m_clock.elapsed();
        for (int k = 0; k < 4 && !screen.isNull(); ++k) {
            f.n[k] = showsPicture(screen, m_picture[k])
                         ? enginetest::frameNumberIn(screen, m_picture[k], m_sourceHeight)
                         : -1;
        }
        return f;
    }
    // A pane without a picture (a stopped set) is black, and black cells spell frame 0: the clips'
    // background just above the cells is never black, dimmed or not.
    bool showsPicture(const QImage& screen, const QRect& picture) const {
        const int y = picture.bottom() - int(28 * std::max(picture.height() / double(m_sourceHeight), 0.5));
        for (int i = 1; i < 8; ++i) {
            const QRgb c = screen.pixel(picture.x() + i * picture.width() / 8, y);
            if (std::max({qRed(c), qGreen(c), qBlue(c)}) >= 12) {
                return true;
            }
        }
        return false;
    }
    QImage screen() { return GrabScreen(m_x.display()); }
    qint64 nowMs() const { return m_clock.elapsed(); }

    ProgramRun& program() { return *m_run; }

    // At a test's end: the program's standard error shown when the test failed, and no sanitizer
    // report in it either way.
    void expectCleanEnd(bool failed) {
        const QString output = m_run->standardError();
        if (failed) {
            std::printf("the program's standard error:\n%s\n", qPrintable(output.right(4000)));
        }
        for (const char* report : {"ERROR: AddressSanitizer", "runtime error:"}) {
            EXPECT_FALSE(output.contains(QLatin1String(report))) << qPrintable(output);
        }
    }
    // A file of the program's configuration folder ($XDG_CONFIG_HOME).
    QString configPath(const QString& name) const { return m_config.filePath(name); }

private:
    QDBusConnection session() {
        if (!m_session) {
            m_session.emplace(QDBusConnection::connectToBus(m_bus.address(), m_sessionName));
        }
        return *m_session;
    }

    static inline int s_sessions = 0;
    QString m_sessionName;
    // Destroyed in reverse: the program first, then the buses, then the X server.
    XvfbServer m_x{QStringLiteral("1280x1024x24")};
    PrivateSessionBus m_bus{m_x.environment()};
    QTemporaryDir m_runtime;
    QTemporaryDir m_config;
    AtspiClient m_atspi;
    std::optional<QDBusConnection> m_session;
    QString m_app;
    QList<AccessibleNode> m_tree;
    std::unique_ptr<ProgramRun> m_run;
    QRect m_pane[4];
    QRect m_picture[4];
    int m_sourceHeight = 240;
    QElapsedTimer m_clock;
};

} // namespace tetrav::test
