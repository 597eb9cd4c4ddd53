#include "mainwnd/CExternalFiles.h"

#include "mainwnd/CSavedSets.h"
#include "mainwnd/CTetravDlg.h"
#include "mainwnd/CVideoPane.h"
#include "model/PlaySet.h"
#include "platform/FileName.h"
#include "platform/IncomingFiles.h"
#include "platform/MessageBox.h"
#include "sets/CSetFile.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int kRetryMs = 100;

// A local file's name, byte for byte (names need not be UTF-8).
QString LocalName(const QUrl& url) {
    return FileName::FromUri(url);
}

} // namespace

CExternalFiles::CExternalFiles(CTetravDlg* dlg) : QObject(dlg), m_dlg(dlg) {
    setObjectName(QStringLiteral("externalFiles"));
    m_dlg->setAcceptDrops(true);
    m_dlg->installEventFilter(this);
    m_retry = new QTimer(this);
    m_retry->setInterval(kRetryMs);
    connect(m_retry, &QTimer::timeout, this, &CExternalFiles::openPending);
}

CExternalFiles::~CExternalFiles() = default;

bool CExternalFiles::refuse(const IncomingFiles::Sorted& sorted) {
    if (sorted.refused.isEmpty() && !sorted.files.isEmpty()) {
        return false;
    }
    // The program's file error, with what was refused on the lines below it.
    QString text = QStringLiteral("打开视频文件错误!");
    for (const QString& item : sorted.refused) {
        text += QLatin1Char('\n') + item;
    }
    ShowErrorBox(text);
    return true;
}

bool CExternalFiles::OpenAsSet(const QList<QUrl>& urls, const RunOptions& options) {
    for (const QUrl& url : urls) {
        if (url.isLocalFile() && !QDir::isRelativePath(url.toLocalFile()) &&
            CSetFile::IsSetFile(LocalName(url))) {
            m_pending.clear();
            m_pendingOptions = options;
            m_pendingSetFile = QFileInfo(LocalName(url)).absoluteFilePath();
            openPending();
            return true;
        }
    }
    const IncomingFiles::Sorted sorted = IncomingFiles::Sort(urls);
    if (refuse(sorted)) {
        return false;
    }
    if (!sorted.extra.isEmpty()) {
        std::fprintf(stderr, "Tetrav: at most four videos play at once; not opened: %s.\n",
                     sorted.extra.join(QStringLiteral(", ")).toLocal8Bit().constData());
    }
    m_pending = sorted.files;
    m_pendingSetFile.clear();
    m_pendingOptions = options;
    openPending();
    return true;
}

bool CExternalFiles::OpenInPane(int pane, const QUrl& url) {
    if (pane < 0 || pane > 3) {
        return false;
    }
    if (url.isLocalFile() && !QDir::isRelativePath(url.toLocalFile()) &&
        CSetFile::IsSetFile(LocalName(url))) {
        return OpenAsSet({url}); // a set fills every pane
    }
    const IncomingFiles::Sorted sorted = IncomingFiles::Sort({url});
    if (refuse(sorted)) {
        return false;
    }
    QStringList files;
    for (int i = 0; i < 4; ++i) {
        files << (i == pane ? sorted.files.constFirst() : m_dlg->Set().Path(i));
    }
    m_pending = files;
    m_pendingSetFile.clear();
    m_pendingOptions = {};
    openPending();
    return true;
}

bool CExternalFiles::IsBusy() const {
    const QWidget* modal = QApplication::activeModalWidget();
    return m_dlg->Set().IsOpening() || !m_dlg->isVisible() || (modal != nullptr && modal != m_dlg);
}

void CExternalFiles::openPending() {
    if (m_pending.isEmpty() && m_pendingSetFile.isEmpty()) {
        m_retry->stop();
        return;
    }
    if (m_dlg->Set().IsOpening()) {
        m_retry->stop();
        m_dlg->Set().WhenOpen(this, [this] { openPending(); });
        return;
    }
    if (IsBusy()) {
        m_retry->start(); // a dialog is up, or the window is not shown yet
        return;
    }
    m_retry->stop();
    const RunOptions options = m_pendingOptions;
    m_pendingOptions = {};
    if (!m_pendingSetFile.isEmpty()) {
        const QString setFile = m_pendingSetFile;
        m_pendingSetFile.clear();
        m_dlg->SavedSets().OpenForRun({setFile}, options);
        return;
    }
    const QStringList files = m_pending;
    m_pending.clear();
    if (!options.IsEmpty()) {
        m_dlg->SavedSets().OpenForRun(files, options);
        return;
    }
    openNow(files);
}

void CExternalFiles::openNow(const QStringList& files) {
    // As the confirmed file selection does: the paths as they now stand become the set.
    for (int i = 0; i < 4; ++i) {
        m_dlg->Set().SetPath(i, i < files.size() ? files[i] : QString());
    }
    m_dlg->OpenSelectedFiles();
}

int CExternalFiles::paneAt(const QPoint& windowPos) const {
    for (QWidget* w = m_dlg->childAt(windowPos); w != nullptr && w != m_dlg; w = w->parentWidget()) {
        if (auto* pane = qobject_cast<CVideoPane*>(w)) {
            return pane->index();
        }
    }
    return -1;
}

bool CExternalFiles::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_dlg) {
        return QObject::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        if (drag->mimeData() != nullptr && drag->mimeData()->hasUrls()) {
            drag->acceptProposedAction();
        } else {
            drag->ignore();
        }
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (drop->mimeData() == nullptr || !drop->mimeData()->hasUrls()) {
            drop->ignore();
            return true;
        }
        drop->acceptProposedAction();
        const QList<QUrl> urls = drop->mimeData()->urls();
        const int pane = urls.size() == 1 ? paneAt(drop->position().toPoint()) : -1;
        // Open after the drop has ended, so the dragging program is not held by the open.
        QTimer::singleShot(0, this, [this, urls, pane] {
            if (pane >= 0) {
                OpenInPane(pane, urls.constFirst());
            } else {
                OpenAsSet(urls);
            }
        });
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}
