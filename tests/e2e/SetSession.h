#pragma once
// The real program on a private X server with a set of clips from the command line, driven only as
// a user drives it: the pointer and keys through XTEST (xdotool), the desktop's media controls
// over D-Bus. Where the controls are comes from the accessibility bus; what the panes show comes
// from the screen (the clips draw their frame numbers into their pictures).
#include "e2e/AtspiClient.h"
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
#include <QDir>
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

class SetSession {
public:
    // screen: the private X server's size, as Xvfb takes it.
    explicit SetSession(const QString& screen = QStringLiteral("1280x1024x24"))
        : m_sessionName(QStringLiteral("walk-session-%1").arg(++s_sessions)), m_x(screen) {
        m_clock.start();
    }
    ~SetSession() {
        m_run.reset();
        m_session.reset();
        QDBusConnection::disconnectFromBus(m_sessionName);
    }
    SetSession(const SetSession&) = delete;
    SetSession& operator=(const SetSession&) = delete;

    bool ready() const {
        return m_x.isRunning() && m_bus.isRunning() && m_runtime.isValid() && m_config.isValid();
    }

    // The environment the program gets here: this X server, this session bus with the
    // accessibility bridge on, runtime and configuration folders of its own; extra adds to it.
    QProcessEnvironment environment(std::initializer_list<std::pair<QString, QString>> extra = {}) const {
        QProcessEnvironment env = m_x.environment({{"DBUS_SESSION_BUS_ADDRESS", m_bus.address()},
                                                   {"XDG_RUNTIME_DIR", m_runtime.path()},
                                                   {"XDG_CONFIG_HOME", m_config.path()},
                                                   {"QT_ACCESSIBILITY", "1"},
                                                   {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1"}});
        for (const char* name : {"XAUTHORITY", "AT_SPI_BUS_ADDRESS", "NO_AT_BRIDGE"}) {
            env.remove(name);
        }
        for (const auto& [name, value] : extra) {
            env.insert(name, value);
        }
        return env;
    }

    // Starts the program with the arguments (an empty one: "" on the command line keeps the slot
    // empty) after writing the settings text (a null one leaves the file as it is), ending a run
    // before; waits until its panes and seek bar are on the accessibility bus. Empty on success,
    // else what went wrong.
    QString start(const QStringList& arguments, const QString& settings,
                  std::initializer_list<std::pair<QString, QString>> extra = {}) {
        if (!m_atspi.connect(m_bus.address())) {
            return QStringLiteral("no accessibility bus");
        }
        if (!settings.isNull()) {
            writeAll(m_config.filePath(QStringLiteral("tetrav/TetravSet.ini")), settings.toUtf8());
        }
        m_run.reset();
        m_run = std::make_unique<ProgramRun>(environment(extra), arguments);
        static const char* const controls[] = {"播放进度", "视频一", "视频二", "视频三", "视频四"};
        const bool found =
            WaitUntil(
                [&] {
                    m_app = m_atspi.findApplication(m_run->pid());
                    m_tree = m_atspi.tree(m_app);
                    return !m_run->isRunning() ||
                           std::all_of(std::begin(controls), std::end(controls),
                                       [&](const char* n) { return find(QString::fromUtf8(n)); });
                },
                30000, 100) &&
            m_run->isRunning() && !m_app.isEmpty();
        if (!found) {
            return QStringLiteral("the program did not come up: ") +
                   QString::fromStdString(m_run->describe());
        }
        return {};
    }

    // start(), then waits until the set is open (paused, pause enabled), finds the panes for
    // pictures of the source size and gives the window the keyboard.
    QString open(const QStringList& arguments, const QString& settings, QSize source = QSize(320, 240)) {
        QString why = start(arguments, settings);
        if (why.isEmpty() &&
            !WaitUntil([&] { return refreshed() && enabled(QStringLiteral("暂停播放")); }, 20000, 100)) {
            why = QStringLiteral("the set did not open");
        }
        if (why.isEmpty() && !locatePanes(source)) {
            why = QStringLiteral("no panes on the screen");
        }
        if (why.isEmpty() && !focus()) {
            why = QStringLiteral("no keyboard focus");
        }
        // The focus change reaches the program through the X server; keys before it would go astray.
        WaitUntil([] { return false; }, 300);
        return why;
    }

    // Looks the controls up again (after dialogs, or once a set has opened).
    void refresh() { m_tree = m_atspi.tree(m_app); }
    bool refreshed() {
        refresh();
        return true;
    }
    // Looks again until a control of that name and role is there (present false: has gone).
    bool waitFor(const QString& name, const QString& role = {}, int timeoutMs = 10000, bool present = true) {
        return WaitUntil([&] { return refreshed() && find(name, role).has_value() == present; }, timeoutMs,
                         100);
    }

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
    // Asks a control for its action, as a screen reader does ("Press", "Toggle").
    bool act(const QString& name, const QString& role = {}, const QString& action = QStringLiteral("Press")) {
        const auto node = find(name, role);
        return node && m_atspi.doAction(*node, action);
    }
    const QList<AccessibleNode>& tree() const { return m_tree; }
    AtspiClient& atspi() { return m_atspi; }
    // The text of a control with text (an edit box).
    QString text(const QString& name) {
        const auto node = find(name);
        return node ? m_atspi.text(*node) : QString();
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
    // The pointer moved to at, then what follows (e.g. {"click", "--repeat", "2", "1"}).
    bool pointer(QPoint at, const QStringList& then = {}) {
        return xdotool(QStringList{"mousemove", QString::number(at.x()), QString::number(at.y())} + then);
    }
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
    // Chooses an item of a menu of the menu bar with the pointer, once the open menu shows it.
    bool chooseMenuItem(const QString& menu, const QString& item) {
        const QRect title = extents(menu);
        QRect where;
        return !title.isEmpty() && click(title.center()) &&
               WaitUntil(
                   [&] {
                       where = refreshed() ? extents(item, QStringLiteral("menu item")) : QRect();
                       return !where.isEmpty() && where.top() > title.top();
                   },
                   5000, 50) &&
               click(where.center());
    }
    // Saves what the screen shows under TETRAV_KEY_SHOTS (a folder), for the release notes.
    void keepShot(const QString& name) {
        const QString folder = qEnvironmentVariable("TETRAV_KEY_SHOTS");
        if (!folder.isEmpty()) {
            screen().save(QDir(folder).filePath(name));
        }
    }
    qint64 nowMs() const { return m_clock.elapsed(); }

    ProgramRun& program() { return *m_run; }
    // The private session bus the program is on, for tools such as gdbus.
    QString busAddress() const { return m_bus.address(); }

    // At a test's end: the program's standard error shown when the test failed, and no sanitizer
    // report in it either way.
    void expectCleanEnd(bool failed) {
        const QString output = m_run->standardError();
        if (failed) {
            std::printf("the program's standard error:\n%s\n", qPrintable(output.right(4000)));
        }
        for (const char* report : {"ERROR: AddressSanitizer", "runtime error:", "LeakSanitizer"}) {
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
    XvfbServer m_x;
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
