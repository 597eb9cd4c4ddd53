#include "support/X11Probe.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <xcb/xcb.h>

#include <cstdlib>

namespace tetrav::test {

namespace {

int ignoreErrors(Display*, XErrorEvent*) {
    return 0;
}

// An Xlib connection of the test's own; X errors on it are ignored while it is open (windows of
// the program under test come and go while they are looked at).
class X11Connection {
public:
    explicit X11Connection(const QByteArray& display)
        : m_previous(XSetErrorHandler(ignoreErrors)), m_d(XOpenDisplay(display.constData())) {}
    ~X11Connection() {
        if (m_d) {
            XCloseDisplay(m_d);
        }
        XSetErrorHandler(m_previous);
    }
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;
    Display* get() const { return m_d; }

private:
    XErrorHandler m_previous;
    Display* m_d;
};

} // namespace

ScreenSaverSettings ReadScreenSaver(const QByteArray& display) {
    ScreenSaverSettings s;
    X11Connection c(display);
    if (c.get()) {
        XGetScreenSaver(c.get(), &s.timeout, &s.interval, &s.blanking, &s.exposures);
    }
    return s;
}

bool SetScreenSaver(const QByteArray& display, const ScreenSaverSettings& s) {
    X11Connection c(display);
    if (c.get()) {
        XSetScreenSaver(c.get(), s.timeout, s.interval, s.blanking, s.exposures);
        XSync(c.get(), False);
    }
    return c.get() != nullptr;
}

bool HasMappedWindow(const QByteArray& display) {
    X11Connection c(display);
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

QImage GrabScreen(const QByteArray& display) {
    X11Connection c(display);
    if (!c.get()) {
        return {};
    }
    const int screen = DefaultScreen(c.get());
    const int w = DisplayWidth(c.get(), screen);
    const int h = DisplayHeight(c.get(), screen);
    XImage* img =
        XGetImage(c.get(), RootWindow(c.get(), screen), 0, 0, unsigned(w), unsigned(h), AllPlanes, ZPixmap);
    QImage out;
    if (img && img->bits_per_pixel == 32 && img->byte_order == LSBFirst) {
        out =
            QImage(reinterpret_cast<const uchar*>(img->data), w, h, img->bytes_per_line, QImage::Format_RGB32)
                .copy();
    }
    if (img) {
        XDestroyImage(img);
    }
    return out;
}

bool Xdotool(const QByteArray& display, const QStringList& arguments, QString* why) {
    QProcess p;
    if (!display.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
        p.setProcessEnvironment(env);
    }
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("xdotool"), arguments);
    const bool done = p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (!done && why) {
        *why = p.errorString() + QLatin1Char(' ') + QString::fromLocal8Bit(p.readAll());
    }
    return done;
}

bool OtherX11Client::grabKey(unsigned long keysym, unsigned mask) {
    if (!ok()) {
        return false;
    }
    // The keycode of the key symbol in the server's keyboard map.
    const xcb_setup_t* setup = xcb_get_setup(m_c);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    xcb_get_keyboard_mapping_reply_t* map = xcb_get_keyboard_mapping_reply(
        m_c, xcb_get_keyboard_mapping(m_c, setup->min_keycode, uint8_t(count)), nullptr);
    xcb_keycode_t keycode = 0;
    if (map) {
        const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map);
        for (int i = 0; i < count * map->keysyms_per_keycode && keycode == 0; ++i) {
            if (syms[i] == keysym) {
                keycode = xcb_keycode_t(setup->min_keycode + i / map->keysyms_per_keycode);
            }
        }
        std::free(map);
    }
    if (keycode == 0) {
        return false;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(setup).data->root;
    xcb_generic_error_t* e =
        xcb_request_check(m_c, xcb_grab_key_checked(m_c, 1, root, uint16_t(mask), keycode,
                                                    XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    std::free(e);
    return e == nullptr;
}

bool CanGrabKey(const QByteArray& display, unsigned long keysym, unsigned mask) {
    return OtherX11Client(display).grabKey(keysym, mask);
}

} // namespace tetrav::test
