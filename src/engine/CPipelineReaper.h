#pragma once
// Stops pipelines beside the event loop. Taking a playing pipeline down to NULL joins its
// streaming and decoding threads, which takes from a few tens to several hundred milliseconds
// for a 1080p file; four of them would hold the window still for a moment too long. The reaper
// takes the pipeline and its video output, stops the pipeline on a thread of its own, and frees
// both on the user-interface thread once it is down.
//
// One reaper serves the program (Instance()). WaitAll() finishes every pipeline handed over;
// the main window calls it when it goes, and the destructor calls it at exit.
#include "engine/GstRef.h"

#include <QObject>

#include <atomic>
#include <list>
#include <memory>
#include <thread>

class CVideoOutput;

class CPipelineReaper : public QObject {
    Q_OBJECT
public:
    static CPipelineReaper& Instance();
    ~CPipelineReaper() override;

    // Takes both; video may be null. The video output must be detached from its pane already.
    void Reap(GstElementRef pipeline, std::unique_ptr<CVideoOutput> video);
    // Blocks until every pipeline handed over is down, and frees them.
    void WaitAll();
    // Pipelines handed over and not yet freed.
    int Pending() const { return int(m_jobs.size()); }

private:
    CPipelineReaper() = default;
    struct Job {
        GstElementRef pipeline;
        std::unique_ptr<CVideoOutput> video;
        std::thread worker;
        std::atomic<bool> down{false};
    };
    // Frees the jobs whose pipelines are down.
    void Collect();

    std::list<std::unique_ptr<Job>> m_jobs;
};
