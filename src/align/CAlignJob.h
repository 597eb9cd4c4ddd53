#pragma once
// One alignment by sound running beside the event loop: CAudioAligner on a thread of its own,
// its progress and its result handed to the thread that made the job (queued). Deleting the job
// cancels it and waits for the thread, which stops within about 0.1 s.
#include "align/CAudioAligner.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <thread>

class CAlignJob : public QObject {
    Q_OBJECT
public:
    // paths: one file per pane (empty = none); reference: the pane the others follow;
    // onlyPane: >= 0 to align that pane alone.
    CAlignJob(const QString paths[4], int reference, int onlyPane, QObject* parent = nullptr);
    ~CAlignJob() override;

    void Start();
    void Cancel();
    const QString& Path(int pane) const { return m_paths[pane]; }
    int Reference() const { return m_nReference; }

signals:
    void progress(int percent);
    // Not emitted after Cancel.
    void finished(const AlignResult& result);

private:
    QString m_paths[4];
    int m_nReference = -1;
    CAudioAligner::Options m_options;
    std::atomic<bool> m_cancel{false};
    std::atomic<int> m_lastPercent{-1};
    std::thread m_thread;
};
