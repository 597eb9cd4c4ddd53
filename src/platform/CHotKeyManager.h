#pragma once
// System-wide hot keys on X11: RegisterHotKey/UnregisterHotKey in the classic form (Windows
// virtual-key codes and MOD_ALT 1 / MOD_CONTROL 2 / MOD_SHIFT 4), carried out as key grabs
// on the root window (with the NumLock and CapsLock variants). A grab that fails (another
// client holds the key, no X11 connection) makes RegisterHotKey return false; nothing else.
// A pressed hot key is reported through hotKey(id) on the user-interface thread.
#include <QAbstractNativeEventFilter>
#include <QObject>

#include <map>

class CHotKeyManager : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit CHotKeyManager(QObject* parent = nullptr);
    ~CHotKeyManager() override;

    bool RegisterHotKey(int id, unsigned modifiers, unsigned virtualKey);
    bool UnregisterHotKey(int id);
    void UnregisterAll();
    bool IsRegistered(int id) const { return m_keys.count(id) != 0; }

    // The X key symbol for a Windows virtual-key code (0 when there is none).
    static unsigned long KeySymForVirtualKey(unsigned virtualKey);

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

signals:
    void hotKey(int id);

private:
    struct Grab {
        unsigned keycode;
        unsigned mask;
    };
    std::map<int, Grab> m_keys;
};
