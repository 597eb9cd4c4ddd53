#include "engine/CPipelineReaper.h"

#include "engine/CVideoOutput.h"
#include "platform/HeapRelease.h"

#include <gst/gst.h>

CPipelineReaper& CPipelineReaper::Instance() {
    static CPipelineReaper reaper;
    return reaper;
}

CPipelineReaper::~CPipelineReaper() {
    WaitAll();
}

void CPipelineReaper::Reap(GstElementRef pipeline, std::unique_ptr<CVideoOutput> video) {
    if (!pipeline) {
        return;
    }
    auto job = std::make_unique<Job>();
    job->pipeline = std::move(pipeline);
    job->video = std::move(video);
    Job* raw = job.get();
    // The thread only changes the state; every reference is dropped on this thread, after it.
    raw->worker = std::thread([this, raw] {
        gst_element_set_state(raw->pipeline.get(), GST_STATE_NULL);
        raw->down = true;
        QMetaObject::invokeMethod(this, &CPipelineReaper::Collect, Qt::QueuedConnection);
    });
    m_jobs.push_back(std::move(job));
}

void CPipelineReaper::Collect() {
    bool freed = false;
    for (auto it = m_jobs.begin(); it != m_jobs.end();) {
        if ((*it)->down) {
            (*it)->worker.join();
            it = m_jobs.erase(it); // the pipeline is down: no frame reaches the output any more
            freed = true;
        } else {
            ++it;
        }
    }
    if (freed && m_jobs.empty()) {
        // The closed pipelines' frames leave the heaps free but resident: give them back.
        ReleaseFreeHeapMemory();
    }
}

void CPipelineReaper::WaitAll() {
    for (auto& job : m_jobs) {
        job->worker.join();
    }
    m_jobs.clear();
}
