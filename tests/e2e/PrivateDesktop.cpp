#include "e2e/PrivateDesktop.h"

#include <QDeadlineTimer>
#include <QFile>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

// Reads one line a child writes on its standard output, waiting at most timeoutMs.
QString readLine(QProcess& p, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!p.canReadLine()) {
        if (deadline.hasExpired() || p.state() == QProcess::NotRunning) {
            return {};
        }
        p.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
    }
    return QString::fromLocal8Bit(p.readLine()).trimmed();
}

struct DisplayCloser {
    void operator()(Display* d) const { XCloseDisplay(d); }
};
struct ImageDestroyer {
    void operator()(XImage* i) const { XDestroyImage(i); }
};

} // namespace

PrivateDesktop::PrivateDesktop() = default;

PrivateDesktop::~PrivateDesktop() {
    // The program first, then the bus it talks to, then its X server.
    for (auto* p : {m_program.get(), m_bus.get(), m_xvfb.get()}) {
        if (p != nullptr) {
            stopProcess(*p);
        }
    }
}

void PrivateDesktop::stopProcess(QProcess& p) {
    if (p.state() == QProcess::NotRunning) {
        return;
    }
    p.terminate();
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished(2000);
    }
}

bool PrivateDesktop::start(int width, int height) {
    if (!m_runtime.isValid() || !m_config.isValid()) {
        m_error = QStringLiteral("cannot make temporary folders");
        return false;
    }
    QFile::setPermissions(m_runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    // Xvfb picks a free display itself and writes its number on the given descriptor.
    m_xvfb = std::make_unique<QProcess>();
    m_xvfb->setProcessChannelMode(QProcess::SeparateChannels);
    m_xvfb->setStandardErrorFile(QProcess::nullDevice());
    m_xvfb->start(QStringLiteral("Xvfb"),
                  {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                   QStringLiteral("0"), QStringLiteral("%1x%2x24").arg(width).arg(height),
                   QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-noreset")});
    if (!m_xvfb->waitForStarted(5000)) {
        m_error = QStringLiteral("Xvfb does not start: %1").arg(m_xvfb->errorString());
        return false;
    }
    const QString number = readLine(*m_xvfb, 10000);
    if (number.isEmpty()) {
        m_error = QStringLiteral("Xvfb gave no display number within 10 s");
        return false;
    }
    m_display = QLatin1Char(':') + number;

    // A session bus of our own; the accessibility bus is started from it on demand.
    m_bus = std::make_unique<QProcess>();
    QProcessEnvironment busEnv = environment();
    busEnv.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    m_bus->setProcessEnvironment(busEnv);
    m_bus->setStandardErrorFile(QProcess::nullDevice());
    m_bus->start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                 QStringLiteral("--print-address=1")});
    if (!m_bus->waitForStarted(5000)) {
        m_error = QStringLiteral("dbus-daemon does not start: %1").arg(m_bus->errorString());
        return false;
    }
    m_busAddress = readLine(*m_bus, 10000);
    if (m_busAddress.isEmpty()) {
        m_error = QStringLiteral("dbus-daemon gave no address within 10 s");
        return false;
    }
    return true;
}

QProcessEnvironment PrivateDesktop::environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("XAUTHORITY"));
    env.remove(QStringLiteral("AT_SPI_BUS_ADDRESS"));
    env.remove(QStringLiteral("NO_AT_BRIDGE"));
    if (!m_busAddress.isEmpty()) {
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_busAddress);
    }
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("QT_ACCESSIBILITY"), QStringLiteral("1"));
    env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    return env;
}

bool PrivateDesktop::launch(const QString& program, const QStringList& arguments) {
    m_program = std::make_unique<QProcess>();
    m_program->setProcessEnvironment(environment());
    m_program->setProcessChannelMode(QProcess::MergedChannels);
    m_program->start(program, arguments);
    if (!m_program->waitForStarted(5000)) {
        m_error = QStringLiteral("%1 does not start: %2").arg(program, m_program->errorString());
        return false;
    }
    return true;
}

QString PrivateDesktop::programOutput() {
    if (m_program != nullptr) {
        m_programOutput += QString::fromLocal8Bit(m_program->readAll());
    }
    return m_programOutput;
}

bool PrivateDesktop::waitForExit(int timeoutMs) {
    if (m_program == nullptr) {
        return false;
    }
    const bool ended = m_program->state() == QProcess::NotRunning || m_program->waitForFinished(timeoutMs);
    programOutput();
    return ended;
}

QImage PrivateDesktop::grabScreen(QString* why) const {
    std::unique_ptr<Display, DisplayCloser> dpy(XOpenDisplay(m_display.toLocal8Bit().constData()));
    if (!dpy) {
        if (why != nullptr) {
            *why = QStringLiteral("cannot open display %1").arg(m_display);
        }
        return {};
    }
    const int screen = DefaultScreen(dpy.get());
    const int w = DisplayWidth(dpy.get(), screen);
    const int h = DisplayHeight(dpy.get(), screen);
    std::unique_ptr<XImage, ImageDestroyer> img(XGetImage(dpy.get(), RootWindow(dpy.get(), screen), 0, 0,
                                                          static_cast<unsigned>(w), static_cast<unsigned>(h),
                                                          AllPlanes, ZPixmap));
    if (!img || img->bits_per_pixel != 32 || img->byte_order != LSBFirst) {
        if (why != nullptr) {
            *why = QStringLiteral("XGetImage gave no 32-bit picture of the root window");
        }
        return {};
    }
    QImage out(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        memcpy(out.scanLine(y), img->data + static_cast<qsizetype>(y) * img->bytes_per_line,
               static_cast<size_t>(w) * 4);
    }
    return out;
}

bool PrivateDesktop::xdotool(const QStringList& arguments, QString* why) const {
    QProcess p;
    p.setProcessEnvironment(environment());
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("xdotool"), arguments);
    if (!p.waitForFinished(10000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        if (why != nullptr) {
            *why = QStringLiteral("xdotool %1 failed: %2 %3")
                       .arg(arguments.join(QLatin1Char(' ')), p.errorString(),
                            QString::fromLocal8Bit(p.readAll()));
        }
        if (p.state() != QProcess::NotRunning) {
            p.kill();
            p.waitForFinished(1000);
        }
        return false;
    }
    return true;
}
