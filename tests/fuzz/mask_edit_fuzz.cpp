// The masked time edits driven by any sequence of keys, clicks, pastes and typed characters:
// the go-to dialog's hh:mm:ss and the offset dialog's +hh:mm:ss.mmm. After every step the text
// fits its mask (literals in place, a sign where the sign goes, digits elsewhere), hours and
// minutes stay within their limits, the caret stays inside the text, and the offset dialog takes
// the offset its field shows (Enter never brings up its error box).
#include "FuzzApplication.h"
#include "FuzzCheck.h"
#include "dialogs/CMaskEdit.h"
#include "dialogs/COffsetDlg.h"
#include "dialogs/COffsetEdit.h"
#include "dialogs/CTimeEdit.h"
#include "platform/MessageBoxRecorder.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QClipboard>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>

#include <memory>

namespace {

using tetrav::fuzz::shown;

void checkText(const CMaskEdit& edit, const QString& steps) {
    const QString t = edit.text();
    const QString& mask = edit.m_strMask;
    const QString& tmpl = edit.m_strTemplate;
    const QString detail = QStringLiteral("text %1 after %2").arg(shown(t), steps);
    FUZZ_CHECK(t.size() == mask.size(), detail);
    for (int i = 0; i < t.size(); ++i) {
        if (i < tmpl.size() && tmpl[i] != QLatin1Char('_')) {
            FUZZ_CHECK(t[i] == tmpl[i], detail);
        } else if (mask[i] == QLatin1Char('+')) {
            FUZZ_CHECK(t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-'), detail);
        } else if (mask[i] == QLatin1Char('0')) {
            FUZZ_CHECK(t[i] >= QLatin1Char('0') && t[i] <= QLatin1Char('9'), detail);
        }
    }
    const int h = edit.m_nTimeStart;
    FUZZ_CHECK(t.mid(h, 2) <= edit.m_strHourLimit, detail);
    FUZZ_CHECK(t.mid(h + 3, 2) <= edit.m_strMinuteLimit, detail);
    FUZZ_CHECK(edit.m_strCurrent == t,
               QStringLiteral("working copy %1, ").arg(shown(edit.m_strCurrent)) + detail);
    FUZZ_CHECK(edit.cursorPosition() >= 0 && edit.cursorPosition() <= t.size(), detail);
    // The offset shown is always one the dialog takes as it stands.
    double seconds = 0.0;
    FUZZ_CHECK(qobject_cast<const COffsetEdit*>(&edit) == nullptr ||
                   COffsetDlg::ReadOffset(t, seconds) == COffsetDlg::Reading::Ok,
               detail);
}

void key(QWidget* w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, mods, text);
    QApplication::sendEvent(w, &release);
}

void mouse(QWidget* w, QEvent::Type type, Qt::MouseButton button, int x, Qt::KeyboardModifiers mods = {}) {
    const QPointF pos(x, w->height() / 2);
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent event(type, pos, w->mapToGlobal(pos), button, held, mods);
    QApplication::sendEvent(w, &event);
}

// The characters worth typing most: digits, signs and the literals, then anything.
QChar charFrom(FuzzedDataProvider& in) {
    static const QString kCommon = QStringLiteral("0123456789+-:._ 4759");
    const uint8_t b = in.ConsumeIntegral<uint8_t>();
    if (b < 160) {
        return kCommon[b % kCommon.size()];
    }
    return QChar(char16_t(in.ConsumeIntegral<uint16_t>()));
}

int qtKeyOf(QChar ch) {
    return ch.unicode() < 0x80 ? int(ch.toUpper().unicode()) : int(Qt::Key_unknown);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tetrav::fuzz::startOffscreenApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    // Enter in the offset dialog is its OK; a box it showed would wait for a click that never
    // comes. Recorded instead, each one is a finding: the dialog refused what its field showed.
    MessageBoxRecorder boxes;
    std::unique_ptr<QWidget> owner;
    CMaskEdit* edit = nullptr;
    if (in.ConsumeBool()) {
        // The go-to dialog fills in the current position as hh:mm:ss.
        auto* time = new CTimeEdit;
        owner.reset(time);
        const int secs = in.ConsumeIntegralInRange(0, 47 * 3600 + 59 * 60 + 59);
        time->SetTimeText(QString::asprintf("%02d:%02d:%02d", secs / 3600, secs / 60 % 60, secs % 60));
        edit = time;
    } else {
        const double offset = in.ConsumeFloatingPointInRange(-COffsetDlg::kLongest, COffsetDlg::kLongest);
        auto* dlg = new COffsetDlg(offset, 25.0);
        owner.reset(dlg);
        edit = dlg->TimeEdit();
    }
    edit->resize(160, 24);
    edit->setCursorPosition(0);
    QGuiApplication::clipboard()->setText(QString::fromUtf8(in.ConsumeRandomLengthString(16)));

    QString steps;
    checkText(*edit, steps);
    const int width = edit->width();
    while (in.remaining_bytes() > 0) {
        const int op = in.ConsumeIntegralInRange(0, 19);
        steps += QString::number(op) + QLatin1Char(' ');
        switch (op) {
        case 0:
        case 1:
        case 2:
        case 3: {
            const QChar ch = charFrom(in);
            key(edit, qtKeyOf(ch), Qt::NoModifier, QString(ch));
            break;
        }
        case 4:
            key(edit, Qt::Key_Backspace, Qt::NoModifier, QStringLiteral("\b"));
            break;
        case 5:
            key(edit, Qt::Key_Left, in.ConsumeBool() ? Qt::ShiftModifier : Qt::NoModifier);
            break;
        case 6:
            key(edit, Qt::Key_Right, in.ConsumeBool() ? Qt::ShiftModifier : Qt::NoModifier);
            break;
        case 7:
            key(edit, in.ConsumeBool() ? Qt::Key_Home : Qt::Key_End,
                in.ConsumeBool() ? Qt::ShiftModifier : Qt::NoModifier);
            break;
        case 8: {
            // Editing commands: select all, copy, paste, cut, undo, redo, Delete, Insert.
            static const struct {
                int key;
                Qt::KeyboardModifiers mods;
            } kCommands[] = {
                {Qt::Key_A, Qt::ControlModifier},      {Qt::Key_C, Qt::ControlModifier},
                {Qt::Key_V, Qt::ControlModifier},      {Qt::Key_X, Qt::ControlModifier},
                {Qt::Key_Z, Qt::ControlModifier},      {Qt::Key_Y, Qt::ControlModifier},
                {Qt::Key_Delete, Qt::NoModifier},      {Qt::Key_Insert, Qt::NoModifier},
                {Qt::Key_Insert, Qt::ShiftModifier},   {Qt::Key_Delete, Qt::ShiftModifier},
                {Qt::Key_K, Qt::ControlModifier},      {Qt::Key_Backspace, Qt::ControlModifier},
                {Qt::Key_Delete, Qt::ControlModifier}, {Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier}};
            const auto& c = kCommands[in.ConsumeIntegralInRange<size_t>(0, std::size(kCommands) - 1)];
            key(edit, c.key, c.mods);
            break;
        }
        case 9:
        case 10: {
            // A click (or a drag) of any button.
            static const Qt::MouseButton kButtons[] = {Qt::LeftButton, Qt::MiddleButton, Qt::RightButton};
            const Qt::MouseButton b = kButtons[in.ConsumeIntegralInRange(0, 2)];
            const Qt::KeyboardModifiers mods = in.ConsumeBool() ? Qt::ShiftModifier : Qt::NoModifier;
            mouse(edit, QEvent::MouseButtonPress, b, in.ConsumeIntegralInRange(0, width), mods);
            if (op == 10) {
                mouse(edit, QEvent::MouseMove, b, in.ConsumeIntegralInRange(0, width), mods);
            }
            mouse(edit, QEvent::MouseButtonRelease, b, in.ConsumeIntegralInRange(0, width), mods);
            break;
        }
        case 11:
            mouse(edit, QEvent::MouseButtonDblClick, Qt::LeftButton, in.ConsumeIntegralInRange(0, width));
            break;
        case 12: {
            // Text from an input method.
            QInputMethodEvent event(QString(), {});
            event.setCommitString(QString::fromUtf8(in.ConsumeRandomLengthString(6)));
            QApplication::sendEvent(edit, &event);
            break;
        }
        case 13: {
            QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(2, 2), QPoint(2, 2), Qt::NoModifier);
            QApplication::sendEvent(edit, &event);
            break;
        }
        case 14:
            // Characters as the control takes them, control characters included.
            edit->OnChar(in.ConsumeBool() ? QChar(char16_t(in.ConsumeIntegralInRange(0, 31))) : charFrom(in));
            break;
        case 15: {
            // Any key with any modifiers and any text.
            const int k = in.ConsumeBool() ? in.ConsumeIntegral<int>()
                                           : int(Qt::Key_Escape) + in.ConsumeIntegralInRange(0, 0x60);
            const auto mods = Qt::KeyboardModifiers(unsigned(in.ConsumeIntegral<uint8_t>() & 0x3F) << 25);
            const QString text = QString::fromUtf8(in.ConsumeRandomLengthString(3));
            steps += QStringLiteral("(key %1 modifiers %2 text %3) ")
                         .arg(k, 0, 16)
                         .arg(mods.toInt(), 0, 16)
                         .arg(shown(text));
            key(edit, k, mods, text);
            break;
        }
        case 16:
            QGuiApplication::clipboard()->setText(QString::fromUtf8(in.ConsumeRandomLengthString(12)));
            break;
        case 17:
            edit->setFocus();
            break;
        case 18:
            // The program sets the text again (the offset dialog does, when the frames change).
            if (auto* dlg = qobject_cast<COffsetDlg*>(owner.get())) {
                edit->SetTimeText(COffsetDlg::OffsetText(
                    in.ConsumeFloatingPointInRange(-COffsetDlg::kLongest, COffsetDlg::kLongest)));
            }
            break;
        default:
            key(edit, Qt::Key_Backspace, Qt::ShiftModifier, QStringLiteral("\b"));
            break;
        }
        checkText(*edit, steps);
        FUZZ_CHECK(boxes.boxes().empty(),
                   QStringLiteral("box %1 after %2").arg(boxes.texts().join(QLatin1Char('|')), steps));
    }
    return 0;
}
