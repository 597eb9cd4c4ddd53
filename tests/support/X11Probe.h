#pragma once
// An X server seen and driven from the test's side, through connections of its own
// (independent of the code under test): display settings, the screen, key grabs, key presses.
#include <QByteArray>
#include <QImage>
#include <QStringList>

#include <xcb/xcb.h>

namespace tetrav::test {

struct ScreenSaverSettings {
    int timeout = -1, interval = -1, blanking = -1, exposures = -1;
    bool operator==(const ScreenSaverSettings&) const = default;
};

// All return defaults (-1) when the server cannot be reached.
ScreenSaverSettings ReadScreenSaver(const QByteArray& display);
bool SetScreenSaver(const QByteArray& display, const ScreenSaverSettings& s);
// True when a top-level window of some client is mapped on the server.
bool HasMappedWindow(const QByteArray& display);
// The whole screen as the server has it now; null when it cannot be read.
QImage GrabScreen(const QByteArray& display);
// Runs xdotool with arguments on display (DISPLAY when empty), e.g. {"key", "ctrl+shift+a"}: keys
// typed through the server (XTEST) as at a keyboard. False, with why set, when it fails.
bool Xdotool(const QByteArray& display, const QStringList& arguments, QString* why = nullptr);

// Another X client on display (DISPLAY when empty); the keys it grabs are held until it goes.
class OtherX11Client {
public:
    explicit OtherX11Client(const QByteArray& display = {})
        : m_c(xcb_connect(display.isEmpty() ? nullptr : display.constData(), nullptr)) {}
    ~OtherX11Client() { xcb_disconnect(m_c); }
    OtherX11Client(const OtherX11Client&) = delete;
    OtherX11Client& operator=(const OtherX11Client&) = delete;

    bool ok() const { return xcb_connection_has_error(m_c) == 0; }
    // Grabs the key of keysym with the modifier mask on the root window; false when the grab is
    // refused or the keyboard has no such key.
    bool grabKey(unsigned long keysym, unsigned mask);

private:
    xcb_connection_t* m_c;
};

// Whether a client could grab keysym with mask on display now (the grab goes again at once).
bool CanGrabKey(const QByteArray& display, unsigned long keysym, unsigned mask);

} // namespace tetrav::test
