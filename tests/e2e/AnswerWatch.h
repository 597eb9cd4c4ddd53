#pragma once
// How soon the window answers a command, as a user sees it: the time from giving the command (the
// xdotool or media-control call starting, so the helper process's own start counts against the
// program) to the first change on the screen where the command shows itself.
// - A paused set changes nothing by itself: any change on the screen is the answer.
// - A playing set changes its pictures, play time and thumb by itself, so there only the
//   command's own marks count: the new text it puts in the status bar's first field, or the
//   thumb jumping to the place clicked on the seek bar.
// - A desktop media-control call is answered when its reply comes: the window replies once it
//   has acted on it.
#include "e2e/SetSession.h"

#include <QImage>

#include <utility>

#include <vector>

namespace tetrav::test {

struct AnswerFigures {
    std::vector<double> ms;    // from giving a command to its first mark on the screen
    std::vector<double> given; // the part of it until the helper process or call had returned
    QStringList unanswered;    // commands that showed no mark within a second
    QStringList slow;          // those answered after more than 100 ms, with their times
    int unwatched = 0;         // no-ops, and commands to a playing set that leave no mark of their own
};

class AnswerWatch {
public:
    explicit AnswerWatch(SetSession& s) : m_s(s) {}

    bool locate(const QRect& bar) {
        // The first field with a place on the screen (the bar lists an empty text before them).
        m_field = QRect();
        for (const QRect& r : m_s.statusRects()) {
            if (!r.isEmpty()) {
                m_field = r;
                break;
            }
        }
        m_bar = bar;
        return !m_field.isEmpty();
    }

    // Just before a command (timed: one given on its own, not close behind another): the screen
    // it changes, and the moment the answer is timed from.
    void before(bool timed, bool playing) {
        m_timed = timed;
        if (timed) {
            m_playing = playing;
            m_before = m_s.screen();
            m_from = m_s.nowMs();
        }
    }

    // After a command: text is the status text it shows (empty: none), bar the span of the seek
    // bar where it puts the thumb's middle (empty: nowhere; a click lands on a key frame near the
    // place), noOp that the set was already where it puts it; what names it.
    void after(const char* text, std::pair<int, int> bar, bool noOp, const QString& what,
               AnswerFigures& figures) {
        const QString shown = QString::fromUtf8(text);
        const bool newText = !shown.isEmpty() && shown != m_status;
        m_status = shown.isEmpty() ? m_status : shown;
        if (!m_timed) {
            return;
        }
        const qint64 given = m_s.nowMs();
        const bool onBar = bar.first >= 0;
        const double ms = m_playing && !newText && !onBar ? -2.0 : wait(newText, bar);
        if (ms >= 0.0) {
            figures.ms.push_back(ms);
            figures.given.push_back(double(given - m_from));
            note(figures, what);
        } else if (ms < -1.5 || noOp) {
            ++figures.unwatched;
        } else {
            figures.unanswered << what + (m_playing ? " (playing)" : " (paused)");
        }
    }
    // A media-control call has had its reply (text: the status text it shows; empty: none).
    void replied(const char* text, const QString& what, AnswerFigures& figures) {
        m_status = *text != 0 ? QString::fromUtf8(text) : m_status;
        if (m_timed) {
            figures.ms.push_back(double(m_s.nowMs() - m_from));
            figures.given.push_back(figures.ms.back());
            note(figures, what);
        }
    }

private:
    static void note(AnswerFigures& figures, const QString& what) {
        if (figures.ms.back() > 100.0) {
            figures.slow << QStringLiteral("%1 (%2 ms, %3 ms after the helper)")
                                .arg(what)
                                .arg(figures.ms.back(), 0, 'f', 0)
                                .arg(figures.ms.back() - figures.given.back(), 0, 'f', 0);
        }
    }

    // Waits (1 s at most) for the first change where the command shows itself: its time in ms,
    // -1 when nothing changed there.
    double wait(bool newText, std::pair<int, int> bar) {
        QRect thumb;
        if (bar.first >= 0) {
            thumb = QRect(bar.first - 6, m_bar.top() + 2, bar.second - bar.first + 12, m_bar.height() - 4);
        }
        qint64 at = -1;
        WaitUntil(
            [&] {
                const QImage now = m_s.screen();
                const qint64 t = m_s.nowMs();
                if (now.isNull() || m_before.isNull() || now.size() != m_before.size()) {
                    return false;
                }
                const bool changed = !m_playing ? now != m_before
                                                : (newText && differs(now, m_field)) ||
                                                      (!thumb.isEmpty() && differs(now, thumb));
                if (changed) {
                    at = t;
                }
                return changed;
            },
            1000, 2);
        return at < 0 ? -1.0 : double(at - m_from);
    }
    bool differs(const QImage& now, const QRect& r) const { return now.copy(r) != m_before.copy(r); }

    SetSession& m_s;
    QRect m_field;
    QRect m_bar;
    QImage m_before;
    qint64 m_from = 0;
    bool m_playing = false;
    bool m_timed = false;
    QString m_status; // the status bar's first field
};

} // namespace tetrav::test
