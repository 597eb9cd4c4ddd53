#pragma once
// Waiting on a channel as the program does: on its announcements, not on the clock.
#include "engine/IChannel.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <functional>

namespace tetrav::test {

// Runs the event loop until condition holds, looking again whenever the channel announces
// something; false when timeoutMs passed first.
inline bool WaitForNews(IChannel& channel, const std::function<bool()>& condition, int timeoutMs = 60000) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QEventLoop loop;
        QObject::connect(&channel, &IChannel::prerolled, &loop, &QEventLoop::quit);
        QObject::connect(&channel, &IChannel::settled, &loop, &QEventLoop::quit);
        QObject::connect(&channel, &IChannel::ended, &loop, &QEventLoop::quit);
        QObject::connect(&channel, &IChannel::failed, &loop, &QEventLoop::quit);
        QTimer::singleShot(int(std::max<qint64>(0, deadline.remainingTime())), &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// Until no state change, seek or frame step is in progress.
inline bool WaitSettled(IChannel& channel, int timeoutMs = 60000) {
    return WaitForNews(
        channel, [&channel] { return channel.IsSettled(); }, timeoutMs);
}

} // namespace tetrav::test
