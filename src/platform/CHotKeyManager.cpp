#include "platform/CHotKeyManager.h"

#include <QGuiApplication>

#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>

#include <cstdlib>

namespace {

constexpr unsigned kModAlt = 1, kModControl = 2, kModShift = 4, kModWin = 8;
// The modifiers a hot key is told apart by; NumLock (Mod2) and CapsLock (Lock) are ignored.
constexpr unsigned kRelevantMask =
    XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;
constexpr unsigned kIgnoredVariants[4] = {0, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK,
                                          XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK};

QNativeInterface::QX11Application* x11() {
    if (!qGuiApp) {
        return nullptr;
    }
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
}

unsigned maskForModifiers(unsigned modifiers) {
    unsigned mask = 0;
    if (modifiers & kModAlt) {
        mask |= XCB_MOD_MASK_1;
    }
    if (modifiers & kModControl) {
        mask |= XCB_MOD_MASK_CONTROL;
    }
    if (modifiers & kModShift) {
        mask |= XCB_MOD_MASK_SHIFT;
    }
    if (modifiers & kModWin) {
        mask |= XCB_MOD_MASK_4;
    }
    return mask;
}

xcb_window_t rootWindow(Display* display) {
    return xcb_window_t(DefaultRootWindow(display));
}

// Grabs (or releases) the key with every NumLock/CapsLock variant. A grab refused by the server
// (another client holds that key) undoes the variants already taken and returns false.
bool grabAll(xcb_connection_t* c, xcb_window_t root, unsigned keycode, unsigned mask) {
    for (int i = 0; i < 4; ++i) {
        const xcb_void_cookie_t cookie =
            xcb_grab_key_checked(c, 1, root, uint16_t(mask | kIgnoredVariants[i]), xcb_keycode_t(keycode),
                                 XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        if (xcb_generic_error_t* error = xcb_request_check(c, cookie)) {
            std::free(error);
            for (int j = 0; j < i; ++j) {
                xcb_ungrab_key(c, xcb_keycode_t(keycode), root, uint16_t(mask | kIgnoredVariants[j]));
            }
            xcb_flush(c);
            return false;
        }
    }
    return true;
}

void ungrabAll(xcb_connection_t* c, xcb_window_t root, unsigned keycode, unsigned mask) {
    for (unsigned variant : kIgnoredVariants) {
        xcb_ungrab_key(c, xcb_keycode_t(keycode), root, uint16_t(mask | variant));
    }
    xcb_flush(c);
}

} // namespace

CHotKeyManager::CHotKeyManager(QObject* parent) : QObject(parent) {
    if (qGuiApp) {
        qGuiApp->installNativeEventFilter(this);
    }
}

CHotKeyManager::~CHotKeyManager() {
    UnregisterAll();
    if (qGuiApp) {
        qGuiApp->removeNativeEventFilter(this);
    }
}

unsigned long CHotKeyManager::KeySymForVirtualKey(unsigned vk) {
    if (vk >= 0x30 && vk <= 0x39) {
        return XK_0 + (vk - 0x30);
    }
    if (vk >= 0x41 && vk <= 0x5A) {
        return XK_a + (vk - 0x41);
    }
    if (vk >= 0x60 && vk <= 0x69) {
        return XK_KP_0 + (vk - 0x60);
    }
    if (vk >= 0x70 && vk <= 0x87) {
        return XK_F1 + (vk - 0x70);
    }
    switch (vk) {
    case 0x08:
        return XK_BackSpace;
    case 0x09:
        return XK_Tab;
    case 0x0C:
        return XK_Clear;
    case 0x0D:
        return XK_Return;
    case 0x13:
        return XK_Pause;
    case 0x14:
        return XK_Caps_Lock;
    case 0x1B:
        return XK_Escape;
    case 0x20:
        return XK_space;
    case 0x21:
        return XK_Prior;
    case 0x22:
        return XK_Next;
    case 0x23:
        return XK_End;
    case 0x24:
        return XK_Home;
    case 0x25:
        return XK_Left;
    case 0x26:
        return XK_Up;
    case 0x27:
        return XK_Right;
    case 0x28:
        return XK_Down;
    case 0x29:
        return XK_Select;
    case 0x2A:
        return XK_Print;
    case 0x2B:
        return XK_Execute;
    case 0x2C:
        return XK_Print;
    case 0x2D:
        return XK_Insert;
    case 0x2E:
        return XK_Delete;
    case 0x2F:
        return XK_Help;
    case 0x5B:
        return XK_Super_L;
    case 0x5C:
        return XK_Super_R;
    case 0x5D:
        return XK_Menu;
    case 0x6A:
        return XK_KP_Multiply;
    case 0x6B:
        return XK_KP_Add;
    case 0x6C:
        return XK_KP_Separator;
    case 0x6D:
        return XK_KP_Subtract;
    case 0x6E:
        return XK_KP_Decimal;
    case 0x6F:
        return XK_KP_Divide;
    case 0x90:
        return XK_Num_Lock;
    case 0x91:
        return XK_Scroll_Lock;
    case 0xBA:
        return XK_semicolon;
    case 0xBB:
        return XK_equal;
    case 0xBC:
        return XK_comma;
    case 0xBD:
        return XK_minus;
    case 0xBE:
        return XK_period;
    case 0xBF:
        return XK_slash;
    case 0xC0:
        return XK_grave;
    case 0xDB:
        return XK_bracketleft;
    case 0xDC:
        return XK_backslash;
    case 0xDD:
        return XK_bracketright;
    case 0xDE:
        return XK_apostrophe;
    default:
        return 0;
    }
}

bool CHotKeyManager::RegisterHotKey(int id, unsigned modifiers, unsigned virtualKey) {
    UnregisterHotKey(id);
    auto* native = x11();
    if (!native || !native->display() || !native->connection()) {
        return false; // no X11 (offscreen, Wayland): no system-wide hot keys
    }
    const unsigned long keysym = KeySymForVirtualKey(virtualKey & 0xFFFF);
    if (keysym == 0) {
        return false;
    }
    const unsigned keycode = XKeysymToKeycode(native->display(), keysym);
    if (keycode == 0) {
        return false; // the keyboard map has no such key
    }
    const unsigned mask = maskForModifiers(modifiers & 0xFFFF);
    for (const auto& [otherId, grab] : m_keys) {
        if (grab.keycode == keycode && grab.mask == mask) {
            return false; // one key, one hot key
        }
    }
    if (!grabAll(native->connection(), rootWindow(native->display()), keycode, mask)) {
        return false;
    }
    m_keys[id] = Grab{keycode, mask};
    return true;
}

bool CHotKeyManager::UnregisterHotKey(int id) {
    const auto it = m_keys.find(id);
    if (it == m_keys.end()) {
        return false;
    }
    if (auto* native = x11(); native && native->display() && native->connection()) {
        ungrabAll(native->connection(), rootWindow(native->display()), it->second.keycode, it->second.mask);
    }
    m_keys.erase(it);
    return true;
}

void CHotKeyManager::UnregisterAll() {
    while (!m_keys.empty()) {
        UnregisterHotKey(m_keys.begin()->first);
    }
}

bool CHotKeyManager::nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) {
    Q_UNUSED(result);
    if (m_keys.empty() || eventType != "xcb_generic_event_t" || !message) {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) != XCB_KEY_PRESS) {
        return false;
    }
    const auto* press = static_cast<const xcb_key_press_event_t*>(message);
    const unsigned mask = press->state & kRelevantMask;
    for (const auto& [id, grab] : m_keys) {
        if (grab.keycode == press->detail && grab.mask == mask) {
            // Reported from the event loop, not from inside the native event dispatch: the
            // handler may open a modal box.
            QMetaObject::invokeMethod(
                this, [this, id = id] { emit hotKey(id); }, Qt::QueuedConnection);
            return true;
        }
    }
    return false;
}
