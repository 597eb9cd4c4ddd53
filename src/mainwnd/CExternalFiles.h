#pragma once
// Files that come to the main window from outside the program: dropped on the window, handed
// over by a second copy (a file manager's "Open With" while Tetrav runs) or named by the
// desktop's media controls. One to four files open as a set in panes 1 to n, as files from the
// command line do; one file dropped on a pane goes to that pane and the others keep theirs. A
// saved set (.tetravset) among them opens as the set it names.
// Anything that is not a readable local video file is refused with a message and nothing
// changes. While the window is busy (a dialog or message box is up, a set is opening) a set
// handed over waits and opens once the window is free again (once the set in the making is open).
#include "mainwnd/RunOptions.h"
#include "platform/IncomingFiles.h"

#include <QObject>
#include <QStringList>
#include <QUrl>

class CTetravDlg;
class QTimer;

class CExternalFiles : public QObject {
    Q_OBJECT
public:
    // Installs itself on the main window (which then accepts drops); owned by it.
    explicit CExternalFiles(CTetravDlg* dlg);
    ~CExternalFiles() override;

    // Opens files (one to four used) as a set, with the run options a second copy gave;
    // refuses with a message if any is unusable. Returns false when refused. A busy window
    // opens the set later.
    bool OpenAsSet(const QList<QUrl>& urls, const RunOptions& options = {});
    // Puts one file in pane (0 to 3), keeping the other panes' files, and opens the set.
    bool OpenInPane(int pane, const QUrl& url);
    // True while the window cannot take a new set now (a modal dialog or box is up, the window
    // is not shown yet, or a set is being opened).
    bool IsBusy() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool refuse(const IncomingFiles::Sorted& sorted);
    void openNow(const QStringList& files);
    void openPending();
    int paneAt(const QPoint& windowPos) const;

    CTetravDlg* m_dlg;
    QStringList m_pending;
    QString m_pendingSetFile; // a saved set waiting to open
    RunOptions m_pendingOptions;
    QTimer* m_retry = nullptr;
};
