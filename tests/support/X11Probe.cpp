#include "support/X11Probe.h"

#include <X11/Xlib.h>
#include <X11/extensions/dpms.h>

namespace tetrav::test {

namespace {

int ignoreErrors(Display*, XErrorEvent*) {
    return 0;
}

// A connection of the test's own. Windows of the program under test come and go while they are
// looked at; the errors that gives must not end the test (the default Xlib handler exits).
class Connection {
public:
    explicit Connection(const QByteArray& name)
        : m_previous(XSetErrorHandler(ignoreErrors)), m_d(XOpenDisplay(name.constData())) {}
    ~Connection() {
        if (m_d) {
            XCloseDisplay(m_d);
        }
        XSetErrorHandler(m_previous);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    Display* get() const { return m_d; }

private:
    int (*m_previous)(Display*, XErrorEvent*);
    Display* m_d;
};

} // namespace

ScreenSaverSettings ReadScreenSaver(const QByteArray& display) {
    ScreenSaverSettings s;
    Connection c(display);
    if (c.get()) {
        XGetScreenSaver(c.get(), &s.timeout, &s.interval, &s.blanking, &s.exposures);
    }
    return s;
}

bool SetScreenSaver(const QByteArray& display, const ScreenSaverSettings& s) {
    Connection c(display);
    if (!c.get()) {
        return false;
    }
    XSetScreenSaver(c.get(), s.timeout, s.interval, s.blanking, s.exposures);
    XSync(c.get(), False);
    return true;
}

bool HasDpms(const QByteArray& display) {
    Connection c(display);
    int event = 0, error = 0;
    return c.get() && DPMSQueryExtension(c.get(), &event, &error) && DPMSCapable(c.get());
}

DpmsSettings ReadDpms(const QByteArray& display) {
    DpmsSettings s;
    Connection c(display);
    if (c.get()) {
        CARD16 standby = 0, suspend = 0, off = 0, level = 0;
        BOOL enabled = False;
        DPMSGetTimeouts(c.get(), &standby, &suspend, &off);
        DPMSInfo(c.get(), &level, &enabled);
        s = {enabled != False, standby, suspend, off};
    }
    return s;
}

bool SetDpms(const QByteArray& display, const DpmsSettings& s) {
    Connection c(display);
    if (!c.get()) {
        return false;
    }
    DPMSSetTimeouts(c.get(), CARD16(s.standby), CARD16(s.suspend), CARD16(s.off));
    if (s.enabled) {
        DPMSEnable(c.get());
    } else {
        DPMSDisable(c.get());
    }
    XSync(c.get(), False);
    return true;
}

bool HasMappedWindow(const QByteArray& display) {
    Connection c(display);
    if (!c.get()) {
        return false;
    }
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    bool mapped = false;
    if (XQueryTree(c.get(), DefaultRootWindow(c.get()), &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count && !mapped; ++i) {
            XWindowAttributes a;
            mapped = XGetWindowAttributes(c.get(), children[i], &a) && a.map_state == IsViewable;
        }
        XFree(children);
    }
    return mapped;
}

} // namespace tetrav::test
