#pragma once
// A seeded walk of random user commands on the real program (frame sync, the four walk clips):
// tool-bar buttons, clicks and thumb drags on the seek bar, the arrow keys, Ctrl+arrow nudges, the
// menu's step, and the desktop's media controls. After every command it waits on the screen until
// the command has landed, then checks that every pane shows the frame of one instant, that the
// reference is where the command put it and that a playing set moves. On a failure the seed and
// the commands so far say how to replay it.
#include "e2e/AnswerWatch.h"
#include "e2e/SetModel.h"
#include "e2e/SetWalkControls.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

namespace tetrav::test {

struct WalkFigures {
    // Every command given is one of: landed (its effect checked on the screen), a no-op (the set
    // was already where it puts it), overtaken (a second command came before it settled, and
    // the walk checks where that one puts the set) or missed (the walk stops there).
    int commands = 0, landed = 0, noOps = 0, overtaken = 0, missed = 0, freezes = 0, outOfStep = 0;
    AnswerFigures answers;
    std::vector<double> thumbMs;      // paused, ms until the thumb showed where the set stands
    std::vector<double> lagFrames;    // every reading while playing, the worst pane's lag
    QString worstLag;                 // the reading of the worst lag, and the command before it
    std::vector<double> clickToFrame; // ms from a seek-bar click to every pane on its frame (paused)
    std::vector<double> dragApart; // s from the place a drag released the thumb to where it landed (signed)
    QString failure;
};

class SetWalk {
public:
    enum class Cmd {
        Play,
        Pause,
        Slow,
        Normal,
        Fast,
        Click,
        Drag,
        Right,
        Left,
        Nudge,
        GoTo,
        PlayPause,
        MenuStep
    };

    SetWalk(SetSession& s, unsigned seed) : m_s(s), m_seed(seed), m_random(seed) {}

    // Finds the controls of the opened set; false when one is missing.
    bool locate() { return m_controls.locate() && m_answer.locate(m_controls.bar()); }

    // The set as it opened: paused on its first frames.
    bool begin() {
        m_s.focus();
        return settle("open", Expect{Expect::Frame, 0, 0});
    }

    // One command chosen by the seed; false once something failed (figures().failure says what).
    bool randomCommand() {
        static const Cmd any[] = {Cmd::Play,  Cmd::Pause, Cmd::Slow,      Cmd::Normal,  Cmd::Fast, Cmd::Click,
                                  Cmd::Click, Cmd::Drag,  Cmd::Right,     Cmd::Right,   Cmd::Left, Cmd::Left,
                                  Cmd::Nudge, Cmd::GoTo,  Cmd::PlayPause, Cmd::MenuStep};
        Cmd cmd = any[pick(0, int(std::size(any)) - 1)];
        // The set ends when the reference reaches its end: a walk far on goes back first (paused at
        // double speed, a start gives it only a few seconds).
        if (m_at > (m_playing ? 10.0 : (m_rate > 1.0 ? 12.0 : 14.0))) {
            cmd = pick(0, 1) == 0 ? Cmd::GoTo : Cmd::Click;
        }
        // Some commands come while the one before is still on its way.
        if (pick(0, 6) == 0 && (cmd == Cmd::Click || cmd == Cmd::GoTo)) {
            Expect first = give(cmd);
            first.givenMs = m_givenMs;
            ++m_fig.overtaken;
            wait(pick(0, 120));
            const Cmd second = std::array{Cmd::Click, Cmd::GoTo, Cmd::Right, Cmd::Fast}[pick(0, 3)];
            m_inFlight = true;
            Expect then = give(second);
            then.givenMs = m_givenMs;
            m_inFlight = false;
            m_noOp = false;
            if (second == Cmd::Fast) {
                then = first;
                then.playingTime = true;
            } else if (second == Cmd::Right && first.kind == Expect::Exact && !m_wasPlaying) {
                then = Expect{Expect::Frame, 0, first.frame + 1};
            } else if (second == Cmd::Right) {
                then = Expect{};
            }
            return check(then);
        }
        m_timed = true;
        Expect e = give(cmd);
        e.givenMs = m_givenMs;
        m_timed = false;
        return check(e);
    }

    const WalkFigures& figures() const { return m_fig; }
    QString replay() const {
        return QStringLiteral("seed %1, commands:\n%2").arg(m_seed).arg(m_log.join(QLatin1Char('\n')));
    }

private:
    struct Expect {
        enum Kind { None, Exact, Frame, KeyNear } kind = None;
        double seconds = 0;       // Exact, KeyNear
        int frame = 0;            // Exact (derived), Frame
        bool playingTime = false; // the set may have played on from the target
        bool seeks = false;       // several seeks, each newer one waiting for the one before (a drag)
        qint64 givenMs = -1;      // when the command was given: the set plays on from then
    };

    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_random); }
    void wait(int ms) {
        WaitUntil([] { return false; }, ms, 5);
    }

    static int frameAt(double t) {
        const double last = std::floor(kRefLength * kWalkClips[kRef].grid) - 1;
        return int(std::clamp(std::floor(t * kWalkClips[kRef].grid + 1e-6), 0.0, last));
    }

    void log(const QString& what) {
        m_log << QStringLiteral("%1: %2").arg(m_log.size() + 1).arg(what);
        ++m_fig.commands;
    }
    bool button(const char* name) { return m_controls.button(name); }

    // Just before a command's action (the answer is timed from here), and after it: the status
    // text it shows (empty: none) and where it puts the thumb.
    void acting() {
        m_givenMs = m_s.nowMs();
        m_answer.before(m_timed, m_wasPlaying);
    }
    void answered(const char* text, std::pair<int, int> bar = {-1, -1}) {
        m_answer.after(text, bar, m_noOp, m_log.last(), m_fig.answers);
    }
    void replied(const char* text) { m_answer.replied(text, m_log.last(), m_fig.answers); }

    Expect give(Cmd cmd) {
        m_wasPlaying = m_playing;
        m_noOp = false;
        switch (cmd) {
        case Cmd::Play:
            log("播放");
            m_noOp = m_playing;
            acting();
            button("播放");
            answered("开始播放");
            m_playing = true;
            return {};
        case Cmd::PlayPause:
            log("MPRIS PlayPause");
            acting();
            m_s.mpris(QStringLiteral("PlayPause"));
            replied(m_playing ? "暂停播放" : "开始播放");
            m_playing = !m_playing;
            return {};
        case Cmd::Pause:
            log("暂停播放");
            m_noOp = !m_playing;
            acting();
            button("暂停播放");
            answered("暂停播放");
            m_playing = false;
            return {};
        case Cmd::Slow:
        case Cmd::Normal:
        case Cmd::Fast: {
            const char* name = cmd == Cmd::Slow ? "倒回播放" : (cmd == Cmd::Normal ? "恢复播放" : "快速播放");
            log(QString::fromUtf8(name));
            const double rate = cmd == Cmd::Slow ? 0.25 : (cmd == Cmd::Normal ? 1.0 : 2.0);
            m_noOp = rate == m_rate && (m_playing || cmd != Cmd::Normal);
            acting();
            button(name);
            answered(cmd == Cmd::Slow ? "慢速播放" : (cmd == Cmd::Normal ? "恢复播放" : "加快播放"));
            m_rate = rate;
            m_playing = m_playing || cmd == Cmd::Normal;
            return {};
        }
        case Cmd::Click: {
            double seconds = 0;
            QPoint at = m_controls.barPoint(pick(0, 780) / 1000.0, &seconds);
            // A press on the thumb takes hold of it and does not seek: paused, the thumb stands
            // where the set is (it follows every move at once), so nothing moves. Its very edges
            // are left alone (a pixel decides there), and so is a thumb that a move still on its
            // way may put elsewhere any moment. (Playing, the set is near the thumb either way.)
            const int half = kThumbWidth / 2;
            const int thumb = m_playing ? -1000 : thumbX(!m_inFlight);
            const int apart = at.x() - thumb;
            if (std::abs(apart) <= half + 2 && (m_inFlight || std::abs(apart) > half - 2)) {
                at.rx() = thumb + (apart < 0 ? -(half + 4) : half + 4);
            }
            if (std::abs(at.x() - thumb) <= half - 2) {
                log(QStringLiteral("seek-bar click on the thumb at x %1").arg(at.x()));
                m_noOp = true;
                acting();
                m_s.click(at);
                answered("");
                return {Expect::Frame, 0, m_frame};
            }
            log(QStringLiteral("seek-bar click at x %1 (%2 s)").arg(at.x()).arg(seconds, 0, 'f', 2));
            // The thumb shows the place clicked, then the key frame the set lands on: its mark
            // is anywhere within a key-frame reach. Playing, the thumb may already be there:
            // then its jump is no mark.
            const std::pair<int, int> reach{reachX(seconds - kKeyReach), reachX(seconds + kKeyReach)};
            const int now = m_playing ? thumbX(false) : -1000;
            const bool covered = now >= reach.first - kThumbWidth && now <= reach.second + kThumbWidth;
            acting();
            m_clickAt = m_s.nowMs();
            m_s.click(at);
            answered("", covered ? std::pair{-1, -1} : reach);
            // Playing, the thumb goes to the place and plays on from there: it never shows the
            // place the set left, not even while the new pictures are on their way.
            if (m_playing && std::abs(now - at.x()) > reachX(4.0) - reachX(0.0)) {
                WaitUntil(
                    [&] {
                        const double v = m_controls.thumbValueNow();
                        if (!std::isnan(v) && std::abs(m_controls.thumbX(v) - now) <= kThumbWidth / 2) {
                            m_wentBack =
                                QStringLiteral("the thumb went back to x %1").arg(m_controls.thumbX(v));
                        }
                        return !m_wentBack.isEmpty();
                    },
                    600, 10);
            }
            return {Expect::KeyNear, seconds, 0, m_playing};
        }
        case Cmd::Drag: {
            double to = 0;
            const QPoint b = m_controls.barPoint(pick(0, 780) / 1000.0, &to);
            // The button goes down on the thumb where the screen shows it, and drags it.
            const int from = thumbX();
            log(QStringLiteral("thumb drag from x %1 to x %2 (%3 s)")
                    .arg(from)
                    .arg(b.x())
                    .arg(to, 0, 'f', 2));
            const int y = b.y();
            QStringList args{"mousemove", QString::number(from), QString::number(y), "mousedown", "1"};
            for (int i = 1; i <= 6; ++i) {
                args << "mousemove" << QString::number(from + (b.x() - from) * i / 6) << QString::number(y)
                     << "sleep"
                     << "0.03";
            }
            args << "mouseup"
                 << "1";
            acting();
            m_s.xdotool(args);
            answered("", {b.x(), b.x()});
            return {Expect::KeyNear, to, 0, m_playing, true};
        }
        case Cmd::Right:
        case Cmd::Left:
        case Cmd::MenuStep: {
            const bool forward = cmd != Cmd::Left;
            m_noOp = !forward && !m_playing && m_frame == 0;
            if (cmd == Cmd::MenuStep) {
                log("播放控制 > 逐帧播放");
                menuStep(); // the answer is timed from the click on the item
            } else {
                log(forward ? "Right" : "Left");
                acting();
                m_s.key(forward ? "Right" : "Left");
            }
            answered(forward ? "单帧播放" : "单帧后退");
            const bool was = m_playing;
            m_playing = false;
            if (was) {
                return {};
            }
            return {Expect::Frame, 0, std::max(0, m_frame + (forward ? 1 : -1))};
        }
        case Cmd::Nudge: {
            if (m_playing) {
                return give(Cmd::Pause);
            }
            int k = pick(0, 2);
            k = k >= kRef ? k + 1 : k;
            const bool forward = m_nudged[k] <= -3 ? true : (m_nudged[k] >= 3 ? false : pick(0, 1) == 0);
            m_nudged[k] += forward ? 1 : -1;
            log(QStringLiteral("Ctrl+%1 over pane %2").arg(forward ? "Right" : "Left").arg(k + 1));
            const QRect pane = m_s.pane(k);
            acting();
            m_s.xdotool({"mousemove", QString::number(pane.center().x()), QString::number(pane.center().y()),
                         "key", forward ? "ctrl+Right" : "ctrl+Left"});
            answered("");
            readOffsets();
            return {Expect::Frame, 0, m_frame};
        }
        case Cmd::GoTo: {
            const double t = pick(0, 14000) / 1000.0;
            log(QStringLiteral("MPRIS SetPosition %1 s").arg(t, 0, 'f', 3));
            acting(); // (the call asks the program for its track first: that is timed too)
            m_s.setPosition(t);
            replied("");
            return {Expect::Exact, t, frameAt(t), m_playing};
        }
        }
        return {};
    }

    // The middle of the seek bar's thumb on the screen.
    static constexpr int kThumbWidth = WalkControls::kThumbWidth;
    // How far from a place the reference's key frame nearest it may be (half a key-frame
    // interval), and what the place of a pointer on the bar is known to (a few tenths).
    static constexpr double kKeyReach = kRefGop / 25.0 / 2.0 + 0.4;
    int reachX(double seconds) const {
        double unused = 0;
        return m_controls.barPoint(std::clamp(seconds / kRefLength, 0.0, 1.0), &unused).x();
    }
    int thumbX(bool rested = true) {
        // Paused, the thumb follows the set as soon as a move lands (the figure: how soon it
        // was seen there). Where a move is on its way, the thumb as it is.
        const qint64 from = m_s.nowMs();
        bool there = false;
        const double position = m_controls.thumbValue(
            [&](double value) {
                return m_playing || !rested || std::abs(value - m_at * 200.0 / kRefLength) <= 3.0;
            },
            &there);
        if (!m_playing && rested) {
            m_fig.thumbMs.push_back(there ? double(m_s.nowMs() - from) : 1500.0);
            if (!there) {
                std::printf("walk: the thumb stood at %.1f of 200, the set at %.2f s, after:\n%s\n", position,
                            m_at, qPrintable(m_log.mid(std::max(0, int(m_log.size()) - 4)).join('\n')));
            }
        }
        return m_controls.thumbX(position);
    }

    void menuStep() {
        const QRect item = m_controls.openStepItem();
        acting(); // the answer to the item, not to the menu opening
        m_s.click(item.center());
    }

    // The offsets the status bar shows, relative to the reference's.
    void readOffsets() {
        const std::array<double, 4> absolute = m_controls.offsets(m_nudged);
        for (int k = 0; k < 4; ++k) {
            m_model.offset[k] = absolute[k] - absolute[kRef];
        }
    }

    bool met(const Expect& e, const PaneFrames& f, qint64 since) const {
        const int n = f.n[kRef];
        const double t = SetModel::refTime(f);
        // Playing, the set may have landed as soon as the command was given, and played on since:
        // the wait for the command's first mark on the screen counts too.
        const qint64 from = e.givenMs >= 0 ? std::min(e.givenMs, since) : since;
        const double played = m_playing ? double(f.atMs - from) / 1000.0 * m_rate + 0.3 : 0.0;
        switch (e.kind) {
        case Expect::None:
            return true;
        case Expect::Frame:
            return n == e.frame;
        case Expect::Exact:
            return e.playingTime || m_playing ? t >= e.frame / 25.0 - 0.05 && t <= e.frame / 25.0 + played
                                              : n == e.frame;
        case Expect::KeyNear: {
            // The key frame of the reference nearest the place (and what it played since).
            const double slack = kKeyReach;
            if (!m_playing && n % kRefGop != 0) {
                return false;
            }
            return t >= e.seconds - slack && t <= e.seconds + slack + played;
        }
        }
        return false;
    }

    bool fail(const QString& why, const PaneFrames& f) {
        if (qEnvironmentVariableIsSet("TETRAV_WALK_SHOT")) {
            m_s.screen().save(qEnvironmentVariable("TETRAV_WALK_SHOT"));
        }
        m_fig.failure = QStringLiteral("%1 (%2, playing %3, rate %4, offsets %5,%6,%7,%8)\n%9")
                            .arg(why, Describe(f))
                            .arg(m_playing)
                            .arg(m_rate)
                            .arg(m_model.offset[0])
                            .arg(m_model.offset[1])
                            .arg(m_model.offset[2])
                            .arg(m_model.offset[3])
                            .arg(replay());
        return false;
    }

    bool check(const Expect& e) { return settle(m_log.isEmpty() ? "open" : m_log.last(), e); }

    // Waits on the screen until the command has landed (8 s at most), then checks the set.
    bool settle(const QString& what, const Expect& e) {
        const qint64 since = m_s.nowMs();
        if (!m_wentBack.isEmpty()) {
            return fail(QStringLiteral("%1: %2").arg(what, m_wentBack), m_s.read());
        }
        // Paused: the same pictures, of one instant, for longer than a frame of the reference
        // at the rate (a pausing pipeline may still put up one more frame).
        // A command whose frame the walk cannot tell (a step or pause given while playing stops
        // wherever play stood) shows nothing of its end but the pictures: while a seek is on its way
        // they stand still too, so these rest longer than any seek here takes.
        // So do a drag's seeks, and a seek-bar click whose key frame may be the picture already shown.
        const bool shown = e.kind == Expect::KeyNear && m_frame % kRefGop == 0 &&
                           std::abs(m_frame / kWalkClips[kRef].grid - e.seconds) <= kRefGop / 25.0 + 0.4;
        const qint64 still =
            e.kind == Expect::None || e.seeks || shown ? 600 : qint64(std::max(60.0, 1.5 * 40.0 / m_rate));
        PaneFrames f;
        PaneFrames before;
        PaneFrames lastRead; // the last reading of every pane, for a miss's report
        int looks = 0;
        int read = 0;
        qint64 stableSince = 0;
        bool landed = false;
        WaitUntil(
            [&] {
                f = m_s.read();
                ++looks;
                if (!(f == before)) {
                    stableSince = f.atMs;
                    before = f;
                }
                if (m_model.allRead(f)) {
                    ++read;
                    lastRead = f;
                }
                const bool in = m_model.allRead(f) && met(e, f, since);
                landed = in && (m_playing || (m_model.oneInstant(f) && f.atMs - stableSince >= still));
                return landed;
            },
            8000, 15);
        if (!landed) {
            ++m_fig.missed;
            // A set played to its end stops: the walk went too far, rather than the command missed.
            const bool ended = m_s.statusTexts().contains(QStringLiteral("停止播放"));
            return fail(QStringLiteral("%1: did not land%2; %3 of %4 readings of every pane, the last %5")
                            .arg(what, ended ? " (the set ended)" : "")
                            .arg(read)
                            .arg(looks)
                            .arg(Describe(lastRead)),
                        f);
        }
        if (m_fig.commands > 0) {
            ++(m_noOp ? m_fig.noOps : m_fig.landed);
        }
        m_frame = f.n[kRef];
        m_at = SetModel::refTime(f);
        if (e.kind == Expect::KeyNear && !m_playing && m_clickAt >= 0) {
            m_fig.clickToFrame.push_back(double(stableSince - m_clickAt));
        }
        if (e.seeks && !m_playing) {
            m_fig.dragApart.push_back(m_at - e.seconds);
        }
        m_clickAt = -1;
        if (!m_playing) {
            return true;
        }
        // Playing: the reference moves on within a second and a half, the panes in step meanwhile.
        // (A move still on its way may jump back first: the reference moves on twice after it.)
        int previous = f.n[kRef];
        int forward = 0;
        int inStep = 0;
        int readings = 0;
        const bool moved = WaitUntil(
            [&] {
                f = m_s.read();
                if (m_model.allRead(f)) {
                    ++readings;
                    const double lag = m_model.worstLag(f);
                    if (m_fig.lagFrames.empty() ||
                        lag > *std::max_element(m_fig.lagFrames.begin(), m_fig.lagFrames.end())) {
                        m_fig.worstLag = QStringLiteral("%1 after %2").arg(Describe(f), m_log.last());
                    }
                    m_fig.lagFrames.push_back(lag);
                    inStep += lag <= 1.0 ? 1 : 0;
                    forward += f.n[kRef] > previous ? 1 : 0;
                    previous = f.n[kRef];
                }
                return forward >= 2 && readings >= 3;
            },
            1500 / std::min(m_rate, 1.0), 30);
        m_frame = f.n[kRef];
        m_at = SetModel::refTime(f);
        if (!moved) {
            ++m_fig.freezes;
            return fail(QStringLiteral("%1: the playing set stood still").arg(what), f);
        }
        if (inStep == 0) {
            ++m_fig.outOfStep;
            return fail(QStringLiteral("%1: no reading in step while playing").arg(what), f);
        }
        return true;
    }

    SetSession& m_s;
    unsigned m_seed;
    std::mt19937 m_random;
    SetModel m_model;
    WalkFigures m_fig;
    QStringList m_log;
    WalkControls m_controls{m_s};
    bool m_playing = false;
    bool m_wasPlaying = false;
    bool m_inFlight = false; // the command comes while the one before is on its way
    bool m_timed = false;    // a command on its own: its answer is timed
    bool m_noOp = false;     // the set is already where the command puts it
    AnswerWatch m_answer{m_s};
    double m_rate = 1.0;
    int m_frame = 0;   // the reference's frame when the last command landed
    double m_at = 0.0; // and its time
    qint64 m_clickAt = -1;
    QString m_wentBack;    // a click's thumb seen back where the set stood before it
    qint64 m_givenMs = -1; // when the newest command was given
    std::array<int, 4> m_nudged{0, 0, 0, 0};
};

} // namespace tetrav::test
