#pragma once
// The controls the command walk works, found on the screen as a user finds them: the tool bar's
// buttons, the seek bar and its thumb, the play-control menu's step item, and the offsets the
// status bar shows.
#include "e2e/SetModel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <map>

namespace tetrav::test {

class WalkControls {
public:
    static constexpr int kThumbWidth = 25; // the thumb's and the arrows' bitmaps

    explicit WalkControls(SetSession& s) : m_s(s) {}

    // False when one of them is missing.
    bool locate() {
        m_s.refresh();
        for (const char* name : {"播放", "暂停播放", "倒回播放", "恢复播放", "快速播放"}) {
            m_button[QString::fromUtf8(name)] = m_s.extents(QString::fromUtf8(name));
            if (m_button[QString::fromUtf8(name)].isEmpty()) {
                return false;
            }
        }
        m_menu = m_s.extents(QStringLiteral("播放控制"));
        m_bar = m_s.extents(QStringLiteral("播放进度"));
        return !m_bar.isEmpty() && !m_menu.isEmpty() && m_s.locatePanes();
    }
    const QRect& bar() const { return m_bar; }

    bool button(const char* name) { return m_s.click(m_button[QString::fromUtf8(name)].center()); }

    // A point on the seek bar and the time it stands for: a click centres the thumb on it, and the
    // thumb's left edge runs over the bar less the two arrow buttons and itself (all as wide).
    QPoint barPoint(double fraction, double* seconds) const {
        const int w = kThumbWidth;
        const int x = m_bar.left() + w + w / 2 + int(fraction * (m_bar.width() - 3 * w));
        *seconds = kRefLength * fraction;
        return {x, m_bar.center().y()};
    }

    // The bar's value (0..200, read as a screen reader reads it) once there(value) holds, or as it
    // is after 1.5 s (*found false). The grey of the gripper on the screen is not enough: the
    // played part has greys of its own.
    double thumbValue(const std::function<bool(double)>& there, bool* found) {
        m_s.refresh();
        double position = 0;
        *found = WaitUntil(
            [&] {
                position = m_s.value(QStringLiteral("播放进度"));
                return there(position);
            },
            1500, 20);
        return position;
    }
    // The bar's value as a screen reader reads it now (NaN: unread).
    double thumbValueNow() { return m_s.value(QStringLiteral("播放进度")); }
    // The middle of the thumb at a value: between the arrows (the track is the bar less three
    // thumb widths).
    int thumbX(double value) const {
        const int w = kThumbWidth;
        const int track = m_bar.width() - 3 * w;
        const int left = std::isnan(value) ? w : int(std::floor(value * track / 200.0 + 0.5)) + w;
        return m_bar.left() + left + w / 2;
    }

    // Opens the play-control menu and finds its step item (empty when it did not show).
    QRect openStepItem() {
        m_s.click(m_menu.center());
        QRect item;
        WaitUntil(
            [&] {
                m_s.refresh();
                item = m_s.extents(QStringLiteral("逐帧播放   ->"), QStringLiteral("menu item"));
                return !item.isEmpty() && item.top() > m_menu.top();
            },
            3000, 50);
        return item;
    }

    // The offsets the status bar shows (偏移 +0.040,0,...), once the panes nudged say so.
    std::array<double, 4> offsets(const std::array<int, 4>& nudged) {
        std::array<double, 4> absolute{0, 0, 0, 0};
        WaitUntil(
            [&] {
                const QStringList found = m_s.statusTexts().filter(QStringLiteral("偏移"));
                if (found.isEmpty()) {
                    return std::all_of(nudged.begin(), nudged.end(), [](int n) { return n == 0; });
                }
                const QStringList parts =
                    found.first().section(QStringLiteral("偏移 "), 1).split(QLatin1Char(','));
                for (int k = 0; k < 4 && k < parts.size(); ++k) {
                    absolute[k] = parts[k].toDouble();
                }
                for (int k = 0; k < 4; ++k) {
                    if (std::lround(absolute[k] * kWalkClips[k].grid) != 0 && nudged[k] == 0) {
                        return false;
                    }
                }
                return true;
            },
            3000, 50);
        return absolute;
    }

private:
    SetSession& m_s;
    std::map<QString, QRect> m_button;
    QRect m_bar;
    QRect m_menu;
};

} // namespace tetrav::test
