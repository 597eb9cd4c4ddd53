#pragma once
// What happens when a channel leaves the set during play, in one place:
// - a channel that breaks while it plays (its file cannot be read or decoded any further, its
//   stream ends well short of its length, or its pictures stop while the others go on) is
//   retired at once with "打开视频文件错误!" and its file and pane named; the others play on;
// - with the longest video as the reference, a channel that reaches its end is retired at the
//   sync tick that sees it;
// - when the reference leaves, the reference rule picks the new one among the channels left;
// - when none is left to play, play stops.
// The window wires it: it hears of a new reference and of an empty set through the signals.
#include "engine/CStallWatch.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

class CSettingsModel;
class PlaySet;

class CChannelLoss : public QObject {
    Q_OBJECT
public:
    // moving: whether the set plays now with nothing holding it still (no seek, no catching up);
    // only then do stopped pictures tell a broken channel.
    CChannelLoss(PlaySet& set, const CSettingsModel& settings, std::function<bool()> moving,
                 QObject* parent = nullptr);

    // At a sync tick, with the longest video as the reference: retires channel k when it has
    // reached its end (within a second of its length, or its end of stream).
    void RetireIfEnded(int k);
    // The reference channel has seen the end of its stream.
    bool ReferenceAtEnd() const;
    // The reference the rule picks among the channels taking part (after the reference left, or
    // the rule changed).
    void ChooseNewReference();
    // Retires channel k, broken while it played, with its message.
    void RetireBroken(int k);

signals:
    // A new reference was chosen (-1: none is left); the total time is its length.
    void referenceChosen(int k);
    // No channel is left that could play.
    void nothingLeft();

private:
    void OnChannelFailed(int k);
    // A look for channels whose pictures stopped while the others go on.
    void WatchForStalls();

    PlaySet& m_set;
    const CSettingsModel& m_settings;
    std::function<bool()> m_moving;
    QTimer m_stallTimer;
    CStallWatch m_stallWatch;
    QElapsedTimer m_stallClock;
};
