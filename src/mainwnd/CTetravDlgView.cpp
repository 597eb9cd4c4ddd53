#include "mainwnd/CTetravDlgView.h"

#include "engine/IChannel.h"
#include "mainwnd/CVideoPane.h"
#include "mainwnd/MainLayout.h"
#include "model/PlaySet.h"
#include "uikit/Resource.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QWidget>
#include <QWindow>

CTetravDlgView::CTetravDlgView(QWidget& window, PlaySet& set, const std::array<CVideoPane*, 4>& panes)
    : QObject(&window), m_window(window), m_set(set), m_panes(panes) {}

// ---------------------------------------------------------------------------------------------
// Display modes

std::array<QAction*, 2> CTetravDlgView::AddDisplayItems(QMenu* play) {
    m_pTopmost = play->addAction(QStringLiteral("前端显示"));
    m_pTopmost->setData(ID_VIEW_TOPMOST);
    m_pNormal = play->addAction(QStringLiteral("一般显示"));
    m_pNormal->setData(ID_VIEW_NORMAL);
    for (QAction* item : {m_pTopmost, m_pNormal}) {
        item->setCheckable(true);
    }
    connect(m_pTopmost, &QAction::triggered, this, &CTetravDlgView::OnViewTopmost);
    connect(m_pNormal, &QAction::triggered, this, &CTetravDlgView::OnViewNormal);
    return {m_pTopmost, m_pNormal};
}

void CTetravDlgView::SetDisplayMode(bool topmost) {
    SetTopmost(topmost);
    // Both items are set explicitly: a checkable action has toggled itself already.
    m_pTopmost->setChecked(topmost);
    m_pNormal->setChecked(!topmost);
    m_pTopmost->setEnabled(!topmost);
    m_pNormal->setEnabled(topmost);
}

void CTetravDlgView::OnViewTopmost() {
    SetDisplayMode(true);
    m_window.raise();
}

void CTetravDlgView::OnViewNormal() {
    SetDisplayMode(false);
}

void CTetravDlgView::SetTopmost(bool topmost) {
    Qt::WindowFlags flags = m_window.windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, topmost);
    // Changing the flags through QWidget would hide (and so end) the modal window: tell the
    // native window directly and keep the widget's record in step.
    m_window.overrideWindowFlags(flags);
    if (QWindow* handle = m_window.windowHandle()) {
        handle->setFlags(flags);
    }
}

// ---------------------------------------------------------------------------------------------
// Pane zoom and full screen

void CTetravDlgView::OnPaneDoubleClick(int pane) {
    if (pane < 0 || pane > 3) {
        return;
    }
    if (m_bFourPanes) {
        // Only a pane that shows a video can be enlarged.
        if (m_set.Channel(pane) == nullptr) {
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
    emit layoutNeeded();
}

void CTetravDlgView::OnFullScreen() {
    QScreen* screen = m_window.screen() != nullptr ? m_window.screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    m_bFullScreen = !m_bFullScreen;
    if (m_bFullScreen) {
        m_normalGeometry = m_window.geometry();
        m_window.setWindowState(m_window.windowState() | Qt::WindowFullScreen);
        // Without a window manager the state alone does not move the window.
        m_window.setGeometry(screen->geometry());
    } else {
        m_window.setWindowState((m_window.windowState() & ~Qt::WindowFullScreen) | Qt::WindowMaximized);
        m_window.setGeometry(m_normalGeometry.isValid() ? m_normalGeometry : screen->availableGeometry());
    }
    // The bars come back (or go) with the layout; a window whose size did not change is laid
    // out here.
    emit layoutNeeded();
    emit actionText(m_bFullScreen ? QString::fromUtf8("全屏显示") : QString::fromUtf8("退出全屏"));
}

void CTetravDlgView::PlacePanes(const MainLayout& layout, QSize client) {
    const int w = client.width();
    const int h = client.height();
    const int halfW = w / 2;
    const int halfH = h / 2;
    for (int i = 0; i < 4; ++i) {
        const bool zoomed = !m_bFourPanes && i == m_nZoomedPane;
        if (!m_bFullScreen) {
            PlacePane(i, zoomed ? layout.zoomedPane : layout.panes[i], m_bFourPanes || zoomed);
            continue;
        }
        // Panes 1 and 2 on the left, 3 and 4 on the right, as in the grid.
        const QRect cell(i < 2 ? 0 : halfW, (i % 2) == 0 ? 0 : halfH, i < 2 ? halfW : w - halfW,
                         (i % 2) == 0 ? halfH : h - halfH);
        PlacePane(i, zoomed ? QRect(0, 0, w, h) : cell, m_bFourPanes || zoomed);
    }
}

void CTetravDlgView::PlacePane(int i, const QRect& r, bool visible) {
    CVideoPane* pane = m_panes[std::size_t(i)];
    pane->setGeometry(r);
    pane->setVisible(visible);
    if (m_set.Channel(i) != nullptr) {
        const QRect client = pane->rect();
        m_set.Channel(i)->SetWindowPosition(client.left(), client.top(), client.width(), client.height());
    }
}
