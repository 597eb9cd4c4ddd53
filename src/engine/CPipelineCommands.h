#pragma once
// Hands a pipeline's state changes and events (seeks, steps) to a thread of the channel's own,
// in the order given, so the user-interface thread never waits inside GStreamer for them.
//
// Pausing or seeking a pipeline wakes its sinks out of their clock waits, and GStreamer 1.22.0's
// system clock can hold a waiting entry's lock for as long as the wait has to run (a sink that
// was woken early re-arms its wait against the time it first started and then polls, lock held,
// until the target; seen with the sound sink waiting on a gap or the end after rate and seek
// changes). Whoever pauses or seeks then sits in gst_clock_id_unschedule for seconds: here that
// is this thread, not the window.
#include "engine/GstRef.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class CPipelineCommands {
public:
    CPipelineCommands() = default;
    ~CPipelineCommands();
    CPipelineCommands(const CPipelineCommands&) = delete;
    CPipelineCommands& operator=(const CPipelineCommands&) = delete;

    // Queues a state change of pipeline (a reference is kept until it ran).
    void setState(GstElement* pipeline, GstState state);
    // Queues an event for pipeline; takes the event.
    void sendEvent(GstElement* pipeline, GstEvent* event);
    // Commands queued or running.
    bool busy() const { return m_outstanding.load() > 0; }
    // Waits until every queued command ran.
    void finish();

private:
    void post(std::function<void()> command);
    void run();

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<std::function<void()>> m_queue;
    std::atomic<int> m_outstanding{0};
    bool m_quit = false;
    std::thread m_thread;
};
