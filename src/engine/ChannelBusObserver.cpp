#include "engine/ChannelBusObserver.h"

#include <algorithm>

ChannelBusObserver::ChannelBusObserver(GstElement* pipeline, Handler& handler)
    : m_bus(gst_element_get_bus(pipeline)), m_handler(handler) {
    // The bus's descriptor is readable while messages wait on it.
    GPollFD pollFd{};
    gst_bus_get_pollfd(m_bus.get(), &pollFd);
    m_notifier = std::make_unique<QSocketNotifier>(qintptr(pollFd.fd), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] { Drain(); });
}

ChannelBusObserver::~ChannelBusObserver() = default;

void ChannelBusObserver::Drain() {
    while (GstMessageRef msg{gst_bus_pop(m_bus.get())}) {
        m_handler.OnBusMessage(msg.get());
    }
    m_handler.OnBusDrained();
}

GstMessageType ChannelBusObserver::HandleNext(gint64 timeoutUs) {
    GstMessageRef msg(gst_bus_timed_pop(m_bus.get(), GstClockTime(std::max<gint64>(0, timeoutUs)) * 1000));
    if (!msg) {
        return GST_MESSAGE_UNKNOWN;
    }
    const GstMessageType type = GST_MESSAGE_TYPE(msg.get());
    m_handler.OnBusMessage(msg.get());
    return type;
}
