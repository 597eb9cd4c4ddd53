#include "mainwnd/SetOpenJob.h"

#include "engine/IChannel.h"
#include "mainwnd/CVideoPane.h"
#include "model/PlaySet.h"
#include "platform/HeapRelease.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>

namespace {

constexpr int kPollMs = 10;
// How long a stream without a length plays to tell it (a parser estimates it within a few
// frames; a slow machine takes longer).
constexpr qint64 kMeasureMs = 3000;

QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}

} // namespace

SetOpenJob::SetOpenJob(PlaySet& set, const std::array<CVideoPane*, 4>& panes, QObject* parent)
    : QObject(parent), m_set(set), m_panes(panes) {
    m_begun.fill(Begun::NotCreated);
    m_poll = new QTimer(this);
    m_poll->setInterval(kPollMs);
    connect(m_poll, &QTimer::timeout, this, [this] {
        const bool measuring = m_measuring.isValid();
        if (measuring ? LengthsMeasured() : Settled()) {
            m_poll->stop();
            measuring ? Probe() : Finish();
        }
    });
}

SetOpenJob::~SetOpenJob() {
    ShowBusy(false);
    // The examinations still running end by their own time limit; their futures wait for them.
}

void SetOpenJob::SetControls(const QList<QWidget*>& controls) {
    m_controls.clear();
    for (QWidget* control : controls) {
        m_controls << control;
    }
}

void SetOpenJob::Start(int referenceRule) {
    m_rule = referenceRule;
    for (int i = 0; i < 4; ++i) {
        m_paths[std::size_t(i)] = m_set.Path(i);
        if (!m_paths[std::size_t(i)].isEmpty()) {
            m_begun[std::size_t(i)] = StartChannel(i, m_paths[std::size_t(i)]);
            m_detections[std::size_t(i)] =
                std::async(std::launch::async, &CStreamProbe::Discover, m_paths[std::size_t(i)]);
        }
    }
    if (Settled()) {
        // Nothing to wait for; still after the caller has connected to finished.
        QTimer::singleShot(0, this, &SetOpenJob::Finish);
        return;
    }
    // The window repaints and shows that it is busy; the controls take no command meanwhile (an
    // accessibility action is no input event).
    ShowBusy(true);
    m_poll->start();
}

void SetOpenJob::Cancel() {
    m_cancelled = true;
    m_poll->stop();
    ShowBusy(false);
    deleteLater();
}

SetOpenJob::Begun SetOpenJob::StartChannel(int i, const QString& path) {
    m_set.CloseChannel(i);
    m_set.SetChannel(i, m_set.MakeChannel(i));
    IChannel* channel = m_set.Channel(i);
    if (channel == nullptr || !channel->Create()) {
        return Begun::NotCreated;
    }
    // Told the pane's size before it prerolls, the channel makes even its first picture at that
    // size rather than at the frame's own (8 MB for a 1080p frame, kept until the next one).
    if (const CVideoPane* pane = m_panes[std::size_t(i)]) {
        const QRect r = pane->rect();
        channel->SetWindowPosition(r.left(), r.top(), r.width(), r.height());
    }
    return channel->StartRender(path) ? Begun::Started : Begun::Refused;
}

bool SetOpenJob::Settled() {
    for (std::size_t i = 0; i < 4; ++i) {
        IChannel* channel = m_set.Channel(int(i));
        // A channel's preroll settles by itself, also when it stops getting anywhere.
        if (m_begun[i] == Begun::Started && channel != nullptr && !channel->IsRenderSettled()) {
            return false;
        }
        if (m_detections[i].valid() &&
            m_detections[i].wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
            return false;
        }
    }
    return true;
}

void SetOpenJob::ShowBusy(bool busy) {
    if (busy == m_busyShown) {
        return;
    }
    m_busyShown = busy;
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_wasEnabled.clear();
        for (const QPointer<QWidget>& control : m_controls) {
            m_wasEnabled << (control != nullptr && control->isEnabled());
            if (control != nullptr) {
                control->setEnabled(false);
            }
        }
        return;
    }
    for (int c = 0; c < m_controls.size() && c < m_wasEnabled.size(); ++c) {
        if (m_controls[c] != nullptr) {
            m_controls[c]->setEnabled(m_wasEnabled[c]);
        }
    }
    QApplication::restoreOverrideCursor();
}

void SetOpenJob::FinishChannel(int i, const QString& path, Begun begun) {
    IChannel* channel = m_set.Channel(i);
    CVideoPane* pane = m_panes[std::size_t(i)];
    if (channel == nullptr || begun == Begun::NotCreated) {
        return; // no graph: the pane stays empty, silently
    }
    // A channel that did not open keeps its object until it is closed, but no pipeline: play
    // must find nothing to start there.
    auto fail = [channel, i, &path](const char* text) {
        channel->Destroy();
        ShowErrorBox(WithSecondLine(Utf8(text), FileLine(i, path)));
    };
    if (begun != Begun::Started || !channel->FinishRender()) {
        fail("打开视频文件错误!");
        return;
    }
    if (!channel->SetDisplayWindow(pane)) {
        fail("设置视频错误!");
        return;
    }
    const QRect r = pane->rect();
    if (!channel->SetWindowPosition(r.left(), r.top(), r.width(), r.height())) {
        fail("打开视频错误!");
    }
}

void SetOpenJob::Finish() {
    if (m_cancelled) {
        return;
    }
    for (std::size_t i = 0; i < 4; ++i) {
        if (m_detections[i].valid()) {
            m_result.facts[i] = m_detections[i].get();
        }
    }
    for (int i = 0; i < 4; ++i) {
        if (!m_paths[std::size_t(i)].isEmpty()) {
            FinishChannel(i, m_paths[std::size_t(i)], m_begun[std::size_t(i)]);
        }
    }
    if (StartMeasuring()) {
        ShowBusy(true);
        m_poll->start();
        return;
    }
    Probe();
}

bool SetOpenJob::StartMeasuring() {
    for (int k = 0; k < 4; ++k) {
        IChannel* channel = m_set.Channel(k);
        const StreamFacts& found = m_result.facts[std::size_t(k)];
        double length = 0.0;
        const bool video = std::any_of(found.streams.begin(), found.streams.end(),
                                       [](const StreamFacts::Stream& stream) { return stream.video; });
        // The examination plays such a stream a tenth of a second at most for its length: on a
        // busy machine it may well have none.
        if (channel == nullptr || !channel->IsPaused() || channel->GetDuration(length) ||
            found.failure != 0 || !video) {
            continue;
        }
        m_volume[std::size_t(k)] = channel->GetVolume();
        channel->SetVolume(-10000);
        channel->HoldPicture(true);
        if (channel->Run()) {
            m_length[std::size_t(k)] = Length::Playing;
            if (!m_measuring.isValid()) {
                m_measuring.start();
            }
        } else {
            channel->HoldPicture(false);
            channel->SetVolume(m_volume[std::size_t(k)]);
        }
    }
    return m_measuring.isValid();
}

bool SetOpenJob::LengthsMeasured() {
    // Past the time allowed, a stream goes back without its length (it takes no part in play),
    // and one that does not come back in as long again shows what it has.
    const qint64 spent = m_measuring.elapsed();
    bool done = true;
    for (int k = 0; k < 4; ++k) {
        IChannel* channel = m_set.Channel(k);
        Length& state = m_length[std::size_t(k)];
        if (channel == nullptr || channel->HasFailed()) {
            state = Length::Known;
            continue;
        }
        double length = 0.0;
        if (state == Length::Playing && (channel->GetDuration(length) || spent > kMeasureMs)) {
            channel->Pause();
            channel->SetCurrentPositionExact(0.0);
            state = Length::Returning;
        }
        if (state == Length::Returning && (channel->IsSettled() || spent > 2 * kMeasureMs)) {
            channel->HoldPicture(false);
            channel->SetVolume(m_volume[std::size_t(k)]);
            state = Length::Known;
        }
        done = done && state == Length::Known;
    }
    return done;
}

void SetOpenJob::Probe() {
    ShowBusy(false);
    SetOpenResult result = m_result;
    ProbeState probe;
    result.total =
        CStreamProbe::ProbeChannels(m_set.Paths(), m_set.Channels(), m_rule, probe, result.facts.data());
    for (const QString& message : probe.messages) {
        ShowMessageBox(message);
    }
    // The set stands measured once the user has closed the open's messages; the window may be
    // closed meanwhile (the job is then cancelled, or gone with it).
    AfterMessageBoxes(this, [this, result, probe] {
        if (m_cancelled) {
            return;
        }
        Measured(result, probe);
    });
}

void SetOpenJob::Measured(SetOpenResult result, const ProbeState& probe) {
    int reference = -1;
    for (int k = 0; k < 4; ++k) {
        m_set.SetLength(k, probe.length[k]);
        m_set.SetFrameRate(k, probe.frameRate[k]);
        reference = probe.reference[k] == 1 ? k : reference;
    }
    m_set.SetReference(reference);
    m_set.SetOpenCount(probe.openCount);
    for (int k = 0; k < 4; ++k) {
        if (m_paths[std::size_t(k)].isEmpty()) {
            continue;
        }
        // A channel without a length takes no part in play, so it keeps no pipeline that play
        // could start (a WAV header without samples prerolls, then never stops once running).
        if (m_set.Channel(k) != nullptr && !(m_set.Length(k) > 0.0)) {
            m_set.Channel(k)->Destroy();
        }
        (m_set.Length(k) > 0.0 && m_set.IsOpen(k) ? result.opened : result.failed) << k;
    }
    m_set.SetPlayTime(result.total);
    // The examinations' decoders and frames are gone: what they freed goes back to the system
    // rather than stay resident through the play.
    ReleaseFreeHeapMemory();
    emit finished(result);
}
