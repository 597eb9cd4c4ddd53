#pragma once
// Drains a pipeline's bus from the event loop: whenever messages wait on the bus, each goes to
// the handler in turn, and once none is left the batch's end goes to the handler too. Nothing
// else pops the bus while the event loop runs, so nothing that asks a channel about its state
// takes a message away from it.
#include "engine/GstRef.h"

#include <QSocketNotifier>

#include <memory>

class ChannelBusObserver {
public:
    class Handler {
    public:
        virtual ~Handler() = default;
        virtual void OnBusMessage(GstMessage* msg) = 0;
        // Every message waiting has been handled.
        virtual void OnBusDrained() = 0;
    };

    // Watches pipeline's bus for handler (which outlives this observer).
    ChannelBusObserver(GstElement* pipeline, Handler& handler);
    ~ChannelBusObserver();
    ChannelBusObserver(const ChannelBusObserver&) = delete;
    ChannelBusObserver& operator=(const ChannelBusObserver&) = delete;

    // Handles every message waiting now.
    void Drain();
    // Blocks at most timeoutUs for the next message and handles it; the message's type, or
    // GST_MESSAGE_UNKNOWN when none came. For the channel's own bounded waits only.
    GstMessageType HandleNext(gint64 timeoutUs);

private:
    GstBusRef m_bus;
    Handler& m_handler;
    std::unique_ptr<QSocketNotifier> m_notifier;
};
