#include "engine/CPipelineCommands.h"

CPipelineCommands::~CPipelineCommands() {
    {
        std::lock_guard lock(m_lock);
        m_quit = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void CPipelineCommands::setState(GstElement* pipeline, GstState state) {
    GstElementRef target(GST_ELEMENT(gst_object_ref(pipeline)));
    // A failure is posted on the pipeline's bus as an error.
    post([target = std::make_shared<GstElementRef>(std::move(target)), state] {
        gst_element_set_state(target->get(), state);
    });
}

void CPipelineCommands::sendEvent(GstElement* pipeline, GstEvent* event) {
    GstElementRef target(GST_ELEMENT(gst_object_ref(pipeline)));
    post([target = std::make_shared<GstElementRef>(std::move(target)), event] {
        gst_element_send_event(target->get(), event);
    });
}

void CPipelineCommands::post(std::function<void()> command) {
    {
        std::lock_guard lock(m_lock);
        ++m_outstanding;
        m_queue.push_back(std::move(command));
        if (!m_thread.joinable()) {
            m_thread = std::thread([this] { run(); });
        }
    }
    m_wake.notify_one();
}

void CPipelineCommands::finish() {
    std::unique_lock lock(m_lock);
    m_idle.wait(lock, [this] { return m_outstanding.load() == 0; });
}

void CPipelineCommands::run() {
    std::unique_lock lock(m_lock);
    for (;;) {
        m_wake.wait(lock, [this] { return m_quit || !m_queue.empty(); });
        if (m_queue.empty()) {
            return; // quitting, nothing left to run
        }
        std::function<void()> command = std::move(m_queue.front());
        m_queue.pop_front();
        lock.unlock();
        command();
        command = nullptr; // the pipeline's reference goes here, not under the lock
        lock.lock();
        if (--m_outstanding == 0) {
            m_idle.notify_all();
        }
    }
}
