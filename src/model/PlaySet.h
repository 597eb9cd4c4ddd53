#pragma once
// The set being played: up to four channels (one a pane), their files, lengths, frame rates and
// time offsets, the reference channel, the rate and the play time. The one owner of that state:
// the window, the sync, the desktop's ways in, capture and export read and command it here, and
// hear of every change through the signals.
#include "engine/IChannel.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <deque>
#include <functional>
#include <memory>
#include <utility>

class PlaySet : public QObject {
    Q_OBJECT
public:
    static constexpr int kPanes = 4;
    // Makes the channel object for pane k.
    using ChannelFactory = std::function<std::unique_ptr<IChannel>(int k)>;

    explicit PlaySet(QObject* parent = nullptr);
    ~PlaySet() override;

    // ---- Channels ----
    // Where the channel objects of an open come from (the window gives the GStreamer one).
    void SetChannelFactory(ChannelFactory factory) { m_factory = std::move(factory); }
    // A new channel object for pane k (null when there is no factory).
    std::unique_ptr<IChannel> MakeChannel(int k) const { return m_factory ? m_factory(k) : nullptr; }
    // Pane k's channel (null: none).
    IChannel* Channel(int k) const;
    // The four channels, null where there is none (valid while this set lives).
    IChannel* const* Channels() const { return m_view; }
    // Pane k's channel becomes channel; the one in place is closed first.
    void SetChannel(int k, std::unique_ptr<IChannel> channel);
    // Closes pane k's channel: its pipeline is stopped beside the event loop, the object goes.
    void CloseChannel(int k);
    void CloseChannels();
    // A channel with a path and a graph (transport commands act on it).
    bool IsOpen(int k) const;
    // An open channel with a length (it takes part in the ticks).
    bool TakesPart(int k) const;
    bool AnyTakesPart() const;

    // ---- Files ----
    // The file picked for pane k (empty: none); also the file selection being edited.
    const QString& Path(int k) const;
    const QString* Paths() const { return m_paths; }
    void SetPath(int k, const QString& path);
    void ClearPaths();
    bool AnyPath() const;
    // Pane k's file as the set opened (kept while channels end or break and leave it).
    const QString& OpenedPath(int k) const;
    void SetOpenedPath(int k, const QString& path);

    // ---- What the open measured ----
    double Length(int k) const;
    const double* Lengths() const { return m_length; }
    void SetLength(int k, double seconds);
    double FrameRate(int k) const;
    const double* FrameRates() const { return m_frameRate; }
    void SetFrameRate(int k, double fps);
    // Channels still open (counted by the open, less those retired since).
    int OpenCount() const { return m_openCount; }
    void SetOpenCount(int count);

    // ---- The reference ----
    // The reference channel, -1 when there is none.
    int Reference() const { return m_reference; }
    bool IsReference(int k) const { return k >= 0 && k == m_reference; }
    void SetReference(int k);
    // After the reference was retired: the shortest (rule 1) or longest channel still taking
    // part becomes the reference, the lower pane on a tie, and the total time its length.
    // Returns the pick, or -1 (no reference) when none takes part.
    int ChooseReference(int rule);
    // The reference's length (the play time ends there).
    double TotalTime() const { return m_totalSecs; }
    void SetTotalTime(double seconds);

    // ---- Time offsets ----
    // Pane k shows the reference's instant t at its own t + Offset(k).
    double Offset(int k) const;
    const double* Offsets() const { return m_offset; }
    void SetOffset(int k, double seconds);
    void ClearOffsets();
    bool AnyOffset() const;

    // ---- Transport ----
    // The rate of the last rate command (1.0 after an open or a stop).
    double Rate() const { return m_rate; }
    void SetRate(double rate);
    // The reference's position at the last tick, and each channel's.
    double PlayTime() const { return m_currentSecs; }
    void SetPlayTime(double seconds);
    double Position(int k) const;
    const double* Positions() const { return m_position; }
    void SetPosition(int k, double seconds);
    void ClearPositions();

    // Takes channel k out of the set while the others play on: no length, no longer counted,
    // no path, closed.
    void Retire(int k);

    // ---- Opening ----
    // True from the start of an open until the set stands open (or did not open) and what the
    // opener does after it is done. Commands that arrive meanwhile wait with WhenOpen.
    bool IsOpening() const { return m_opening; }
    // The end of an open runs the commands that waited, in the order they came, until one of them
    // starts another open (the rest then wait for that one).
    void SetOpening(bool opening);
    // Runs command now when no set is opening, else once the open has ended; dropped when
    // context is gone by then.
    void WhenOpen(QObject* context, std::function<void()> command);
    // Drops the commands that wait (the window is closing).
    void DropWaiting();

signals:
    // Pane k's channel came, went or was replaced.
    void channelChanged(int k);
    void pathsChanged();
    void referenceChanged(int k);
    void offsetsChanged();
    void rateChanged(double rate);
    // A channel left the set (Retire).
    void retired(int k);
    // Pane k's channel reached the end of its stream, or broke while it played.
    void channelEnded(int k);
    void channelFailed(int k, IChannel::Failure why);
    void openingChanged(bool opening);

private:
    static bool Valid(int k) { return k >= 0 && k < kPanes; }

    ChannelFactory m_factory;
    std::unique_ptr<IChannel> m_channels[kPanes];
    IChannel* m_view[kPanes] = {nullptr, nullptr, nullptr, nullptr}; // m_channels' pointers
    QString m_paths[kPanes];
    QString m_opened[kPanes];
    double m_length[kPanes] = {0, 0, 0, 0};
    double m_frameRate[kPanes] = {0, 0, 0, 0};
    double m_offset[kPanes] = {0, 0, 0, 0};
    double m_position[kPanes] = {0, 0, 0, 0};
    int m_openCount = 0;
    int m_reference = -1;
    double m_totalSecs = 0.0;
    double m_currentSecs = 0.0;
    double m_rate = 1.0;
    bool m_opening = false;
    struct Waiting {
        QPointer<QObject> context;
        std::function<void()> command;
    };
    std::deque<Waiting> m_waiting;
};
