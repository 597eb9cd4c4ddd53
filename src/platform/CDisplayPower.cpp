#include "platform/CDisplayPower.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QGuiApplication>

#include <X11/Xlib.h>

namespace {

const QString kService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kPath = QStringLiteral("/org/freedesktop/ScreenSaver");
const QString kInterface = QStringLiteral("org.freedesktop.ScreenSaver");
constexpr int kDBusTimeoutMs = 2000;

// The X display the program shows its windows on (Qt's when it runs on X11).
QByteArray displayName() {
    if (qGuiApp) {
        if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
            x11 && x11->display()) {
            return QByteArray(DisplayString(x11->display()));
        }
    }
    return qgetenv("DISPLAY");
}

// A private connection, closed again at once: the settings live in the server.
class DisplayConnection {
public:
    explicit DisplayConnection(const QByteArray& name)
        : m_display(name.isEmpty() ? nullptr : XOpenDisplay(name.constData())) {}
    ~DisplayConnection() {
        if (m_display) {
            XCloseDisplay(m_display);
        }
    }
    DisplayConnection(const DisplayConnection&) = delete;
    DisplayConnection& operator=(const DisplayConnection&) = delete;
    Display* get() const { return m_display; }

private:
    Display* m_display;
};

} // namespace

CDisplayPower::~CDisplayPower() {
    Restore();
}

void CDisplayPower::SwitchOff() {
    if (m_switchedOff) {
        return;
    }
    m_switchedOff = true;
    m_displayName = displayName();
    DisplayConnection display(m_displayName);
    m_haveX11 = display.get() != nullptr;
    if (m_haveX11) {
        m_found = CX11DisplayState::Read(display.get());
        m_ssTimeout = m_found.ssTimeout;
        m_ssInterval = m_found.ssInterval;
        m_ssBlanking = m_found.ssBlanking;
        m_ssExposures = m_found.ssExposures;
        m_hadDpms = m_found.hasDpms;
        m_dpmsEnabled = m_found.dpmsEnabled;
        m_dpmsStandby = m_found.dpmsStandby;
        m_dpmsSuspend = m_found.dpmsSuspend;
        m_dpmsOff = m_found.dpmsOff;
        // The watchdog first, so there is no moment in which a death would leave them off.
        if (CDisplayWatchdog::IsEnabled()) {
            m_watchdog = std::make_unique<CDisplayWatchdog>();
            if (!m_watchdog->Start(m_displayName, m_found)) {
                m_watchdog.reset();
            }
        }
        m_found.SwitchOff(display.get());
    }
    inhibit();
}

void CDisplayPower::Restore() {
    if (!m_switchedOff) {
        return;
    }
    m_switchedOff = false;
    unInhibit();
    if (m_haveX11) {
        DisplayConnection display(m_displayName);
        m_found.Apply(display.get());
    }
    if (m_watchdog) {
        m_watchdog->Finish();
        m_watchdog.reset();
    }
}

// Whether a session bus is there to ask; without one, D-Bus would try to start a bus of its own.
static bool haveSessionBus() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        return true;
    }
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo(runtime + QStringLiteral("/bus")).exists();
}

namespace {
void sendUnInhibit(quint32 cookie) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("UnInhibit"));
    call << cookie;
    // Sent without waiting: the desktop also ends the inhibit when this connection closes.
    QDBusConnection::sessionBus().send(call);
}
} // namespace

// The calls never wait for the desktop: the inhibit is held once its reply comes, and a reply
// that comes after Restore is given back at once.
void CDisplayPower::inhibit() {
    if (!haveSessionBus() || QCoreApplication::instance() == nullptr) {
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Inhibit"));
    call << QStringLiteral("Tetrav") << QStringLiteral("正在播放视频");
    m_inhibit->wanted = true;
    auto* watcher =
        new QDBusPendingCallWatcher(bus.asyncCall(call, kDBusTimeoutMs), QCoreApplication::instance());
    std::shared_ptr<InhibitState> state = m_inhibit;
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [state](QDBusPendingCallWatcher* w) {
                         const QDBusPendingReply<quint32> reply = *w;
                         w->deleteLater();
                         if (reply.isError()) {
                             return;
                         }
                         if (state->wanted) {
                             state->cookie = reply.value();
                             state->held = true;
                         } else {
                             sendUnInhibit(reply.value());
                         }
                     });
}

void CDisplayPower::unInhibit() {
    m_inhibit->wanted = false;
    if (!m_inhibit->held) {
        return;
    }
    sendUnInhibit(m_inhibit->cookie);
    m_inhibit->cookie = 0;
    m_inhibit->held = false;
}
