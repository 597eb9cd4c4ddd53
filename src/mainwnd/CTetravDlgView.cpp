// The main window's view side: zooming one pane to the whole video area and back, and keeping
// the window above all others (前端显示) or in the normal order (一般显示).
#include "mainwnd/CTetravDlg.h"

#include "model/PlaySet.h"

#include "engine/IChannel.h"
#include "mainwnd/CVideoPane.h"
#include "mainwnd/MainLayout.h"
#include "uikit/Resource.h"

#include <QAction>
#include <QWindow>

// ---------------------------------------------------------------------------------------------
// Pane zoom

void CTetravDlg::OnPaneDoubleClick(int pane) {
    if (pane < 0 || pane > 3) {
        return;
    }
    if (m_bFourPanes) {
        // Only a pane that shows a video can be enlarged.
        if (m_pSet->Channel(pane) == nullptr) {
            return;
        }
        m_nZoomedPane = pane;
        m_bFourPanes = false;
    } else {
        // Only the zoomed pane is visible. It puts the grid back whether or not it still has its
        // channel (stopped, ended, retired or replaced by a set without it): otherwise the
        // user would be left with one black pane while the others play hidden.
        if (pane != m_nZoomedPane) {
            return;
        }
        m_bFourPanes = true;
        m_nZoomedPane = -1;
    }
    if (m_bBarsCreated) {
        LayoutControls();
    }
    update();
}

// Puts every pane where the layout says, the zoomed one over the whole video area and the
// others hidden in their cells, and fits each channel's picture to its pane.
void CTetravDlg::PlacePanes(const MainLayout& layout) {
    for (int i = 0; i < 4; ++i) {
        const bool zoomed = !m_bFourPanes && i == m_nZoomedPane;
        const QRect r = zoomed ? layout.zoomedPane : layout.panes[i];
        m_wndPane[i]->setGeometry(r);
        m_wndPane[i]->setVisible(m_bFourPanes || zoomed);
        if (m_pSet->Channel(i) != nullptr) {
            const QRect client = m_wndPane[i]->rect();
            m_pSet->Channel(i)->SetWindowPosition(client.left(), client.top(), client.width(),
                                                  client.height());
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Display modes

void CTetravDlg::OnViewTopmost() {
    SetTopmost(true);
    raise();
    // Both items are set explicitly: a checkable action has toggled itself already.
    QAction* topmost = MenuAction(ID_VIEW_TOPMOST);
    QAction* normal = MenuAction(ID_VIEW_NORMAL);
    topmost->setChecked(true);
    normal->setChecked(false);
    topmost->setEnabled(false);
    normal->setEnabled(true);
}

void CTetravDlg::OnViewNormal() {
    SetTopmost(false);
    QAction* topmost = MenuAction(ID_VIEW_TOPMOST);
    QAction* normal = MenuAction(ID_VIEW_NORMAL);
    normal->setChecked(true);
    topmost->setChecked(false);
    normal->setEnabled(false);
    topmost->setEnabled(true);
}

void CTetravDlg::SetTopmost(bool topmost) {
    Qt::WindowFlags flags = windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, topmost);
    // Changing the flags through QWidget would hide (and so end) the modal window: tell the
    // native window directly and keep the widget's record in step.
    overrideWindowFlags(flags);
    if (QWindow* handle = windowHandle()) {
        handle->setFlags(flags);
    }
}
