#include "export/CExportTask.h"

#include <QMetaObject>

CExportTask::CExportTask(QObject* parent) : QObject(parent) {}

CExportTask::~CExportTask() {
    m_cancel.store(true);
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

bool CExportTask::Start(const ExportJob& job) {
    if (m_running) {
        return false;
    }
    if (m_thread.joinable()) {
        m_thread.join(); // the last one has ended: its result came already
    }
    m_cancel.store(false);
    m_running = true;
    m_thread = std::thread([this, job] {
        int shown = -1;
        const ExportResult result =
            CExporter::Run(job, m_cancel, [this, &shown](std::int64_t done, std::int64_t total) {
                const int percent = int(done * 100 / total);
                if (percent != shown) {
                    shown = percent;
                    QMetaObject::invokeMethod(
                        this, [this, done, total] { emit progress(done, total); }, Qt::QueuedConnection);
                }
            });
        QMetaObject::invokeMethod(
            this,
            [this, result] {
                m_running = false;
                emit finished(result);
            },
            Qt::QueuedConnection);
    });
    return true;
}

void CExportTask::Cancel() {
    m_cancel.store(true);
}
