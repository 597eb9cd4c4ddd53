// Hot key codes and modifiers on every path they take: the hot key box driven by any key
// presses and releases, the box's classic word, the modifier flags between the settings file
// and the box, and the virtual-key code to X key symbol mapping the grabs use. A key the box
// takes can always be grabbed and always has a name; the conversions lose nothing they keep.
#include "FuzzApplication.h"
#include "FuzzCheck.h"
#include "platform/CHotKeyManager.h"
#include "settings/COptionsDlg.h"
#include "uikit/CHotKeyCtrl.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QKeyEvent>

namespace {

constexpr unsigned kControlFlags =
    CHotKeyCtrl::HOTKEYF_SHIFT | CHotKeyCtrl::HOTKEYF_CONTROL | CHotKeyCtrl::HOTKEYF_ALT;
constexpr unsigned kFileFlags = 1 | 2 | 4; // MOD_ALT, MOD_CONTROL, MOD_SHIFT

bool isFunctionKey(unsigned vk) {
    return vk >= 0x70 && vk <= 0x87;
}

// A key the box holds can be grabbed and shown by name.
void checkKey(unsigned vk, const QString& detail) {
    FUZZ_CHECK(vk <= 0xFF, detail);
    FUZZ_CHECK(CHotKeyManager::KeySymForVirtualKey(vk) != 0, detail);
    FUZZ_CHECK(!CHotKeyCtrl::KeyName(vk).startsWith(QLatin1String("0x")), detail);
}

// Keys a keyboard gives, and now and then any code at all.
int qtKeyFrom(FuzzedDataProvider& in) {
    static const int kKeys[] = {
        Qt::Key_A,         Qt::Key_Z,         Qt::Key_0,         Qt::Key_9,        Qt::Key_F1,
        Qt::Key_F12,       Qt::Key_F24,       Qt::Key_F25,       Qt::Key_F35,      Qt::Key_Space,
        Qt::Key_Tab,       Qt::Key_Backtab,   Qt::Key_Backspace, Qt::Key_Delete,   Qt::Key_Return,
        Qt::Key_Enter,     Qt::Key_Escape,    Qt::Key_Shift,     Qt::Key_Control,  Qt::Key_Alt,
        Qt::Key_Meta,      Qt::Key_AltGr,     Qt::Key_Super_L,   Qt::Key_Print,    Qt::Key_Pause,
        Qt::Key_Menu,      Qt::Key_Exclam,    Qt::Key_ParenLeft, Qt::Key_Asterisk, Qt::Key_Plus,
        Qt::Key_Slash,     Qt::Key_BraceLeft, Qt::Key_QuoteDbl,  Qt::Key_Eacute,   Qt::Key_VolumeUp,
        Qt::Key_MediaPlay, Qt::Key_unknown,   Qt::Key_Period,    Qt::Key_Insert,   Qt::Key_CapsLock};
    const uint8_t b = in.ConsumeIntegral<uint8_t>();
    if (b < 200) {
        return kKeys[b % std::size(kKeys)];
    }
    if (b < 240) {
        return 0x20 + in.ConsumeIntegralInRange(0, 0x5E); // the printable ASCII keys
    }
    return in.ConsumeIntegral<int>();
}

Qt::KeyboardModifiers modifiersFrom(FuzzedDataProvider& in) {
    // Shift, Control, Alt, Meta, Keypad and GroupSwitch.
    return Qt::KeyboardModifiers(unsigned(in.ConsumeIntegral<uint8_t>() & 0x3F) << 25);
}

void send(CHotKeyCtrl& box, QEvent::Type type, int key, Qt::KeyboardModifiers mods) {
    QKeyEvent event(type, key, mods);
    QApplication::sendEvent(&box, &event);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tetrav::fuzz::startOffscreenApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);

    // A value from the settings file, through the box and back: the box keeps the low byte of
    // the code and Ctrl, Shift and Alt.
    const unsigned fileCode = in.ConsumeIntegral<uint16_t>();
    const unsigned fileMods = in.ConsumeIntegral<uint16_t>();
    CHotKeyCtrl box;
    box.SetHotKey(fileCode, COptionsDlg::ControlFromFileModifiers(fileMods));
    unsigned vk = 0, mods = 0;
    box.GetHotKey(vk, mods);
    const QString fileDetail = QStringLiteral("file code %1 modifiers %2").arg(fileCode).arg(fileMods);
    FUZZ_CHECK(vk == (fileCode & 0xFF), fileDetail);
    FUZZ_CHECK(COptionsDlg::FileFromControlModifiers(mods) == (fileMods & kFileFlags), fileDetail);
    FUZZ_CHECK(COptionsDlg::ControlFromFileModifiers(COptionsDlg::FileFromControlModifiers(mods)) == mods,
               fileDetail);
    FUZZ_CHECK(box.text() == CHotKeyCtrl::HotKeyText(vk, mods), fileDetail);
    // Any code maps to a key symbol or to none, never into another code's place.
    const unsigned long sym = CHotKeyManager::KeySymForVirtualKey(fileCode);
    FUZZ_CHECK(sym == 0 || fileCode <= 0xFF, fileDetail);

    // The classic word.
    const unsigned word = in.ConsumeIntegral<uint32_t>();
    box.SetHotKeyWord(word);
    FUZZ_CHECK(box.GetHotKeyWord() == (word & 0xFFFF), QString::number(word));

    // Keys pressed and released in any order: the box holds nothing or a key that works.
    box.SetHotKey(0, 0);
    QString steps;
    while (in.remaining_bytes() > 0) {
        const int key = qtKeyFrom(in);
        const Qt::KeyboardModifiers held = modifiersFrom(in);
        const bool press = in.ConsumeBool();
        steps +=
            QStringLiteral("%1 %2 %3; ").arg(press ? "press" : "release").arg(key, 0, 16).arg(held, 0, 16);
        send(box, press ? QEvent::KeyPress : QEvent::KeyRelease, key, held);
        box.GetHotKey(vk, mods);
        const QString detail = QStringLiteral("vk %1 modifiers %2 after %3").arg(vk).arg(mods).arg(steps);
        FUZZ_CHECK((mods & ~kControlFlags) == 0, detail);
        if (vk != 0) {
            checkKey(vk, detail);
            // A lone key is taken only when it is a function key.
            FUZZ_CHECK(mods != 0 || isFunctionKey(vk), detail);
        } else {
            FUZZ_CHECK(mods == 0, detail);
        }
        // The box's own reading of the key agrees.
        QKeyEvent probe(QEvent::KeyPress, key, held);
        const unsigned probed = CHotKeyCtrl::VirtualKeyOf(probe);
        if (probed != 0) {
            checkKey(probed, QStringLiteral("key %1: vk %2").arg(key, 0, 16).arg(probed));
        }
    }
    return 0;
}
