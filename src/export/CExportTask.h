#pragma once
// An export beside the event loop: CExporter::Run on a thread of its own; progress and the end
// come back as signals on the thread that owns the task. Destroying the task cancels the
// export and waits for its thread (a cancel takes effect within a frame).
#include "export/CExporter.h"

#include <QObject>

#include <atomic>
#include <thread>

class CExportTask : public QObject {
    Q_OBJECT
public:
    explicit CExportTask(QObject* parent = nullptr);
    ~CExportTask() override;

    // False while an export runs.
    bool Start(const ExportJob& job);
    void Cancel();
    bool IsRunning() const { return m_running; }

signals:
    // done of total frames written (at most one signal per percent).
    void progress(qint64 done, qint64 total);
    void finished(const ExportResult& result);

private:
    std::thread m_thread;
    std::atomic<bool> m_cancel{false};
    bool m_running = false;
};
