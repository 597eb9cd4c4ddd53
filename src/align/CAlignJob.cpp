#include "align/CAlignJob.h"

#include "platform/FileName.h"

#include <QFileInfo>
#include <QMetaObject>
#include <QPointer>

CAlignJob::CAlignJob(const QString paths[4], int reference, int onlyPane, QObject* parent)
    : QObject(parent), m_nReference(reference) {
    for (int k = 0; k < 4; ++k) {
        m_paths[k] = paths[k];
    }
    m_options.onlyPane = onlyPane;
    qRegisterMetaType<AlignResult>("AlignResult");
}

CAlignJob::~CAlignJob() {
    Cancel();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void CAlignJob::Cancel() {
    m_cancel = true;
}

void CAlignJob::Start() {
    if (m_thread.joinable()) {
        return;
    }
    std::array<std::string, 4> uris;
    for (int k = 0; k < 4; ++k) {
        if (!m_paths[k].isEmpty()) {
            uris[std::size_t(k)] = FileName::ToUri(QFileInfo(m_paths[k]).absoluteFilePath()).toStdString();
        }
    }
    m_thread = std::thread([this, uris] {
        const AlignResult result =
            CAudioAligner::Run(uris, m_nReference, m_options, m_cancel, [this](double f) {
                const int percent = int(f * 100.0);
                if (m_lastPercent.exchange(percent) != percent) {
                    // Queued to this object's thread; dropped if the job is gone by then.
                    QMetaObject::invokeMethod(
                        this, [this, percent] { emit progress(percent); }, Qt::QueuedConnection);
                }
            });
        QMetaObject::invokeMethod(
            this,
            [this, result] {
                if (!m_cancel) {
                    emit finished(result);
                }
            },
            Qt::QueuedConnection);
    });
}
