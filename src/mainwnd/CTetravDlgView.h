#pragma once
// The main window's view: one pane zoomed to the whole video area and back (a double click),
// the video area over the whole screen (full screen) and back, and the window kept above all
// others (前端显示) or in the normal order (一般显示).
#include <QObject>
#include <QRect>

#include <array>

struct MainLayout;
class CVideoPane;
class PlaySet;
class QAction;
class QMenu;
class QWidget;

class CTetravDlgView : public QObject {
    Q_OBJECT
public:
    // window: the main window, whose panes these are; it owns this.
    CTetravDlgView(QWidget& window, PlaySet& set, const std::array<CVideoPane*, 4>& panes);

    // The video pane k (0..3), and all four.
    CVideoPane* Pane(int k) const { return m_panes[std::size_t(k)]; }
    const std::array<CVideoPane*, 4>& Panes() const { return m_panes; }

    // Adds 前端显示 and 一般显示 to the play menu; returns them in that order.
    std::array<QAction*, 2> AddDisplayItems(QMenu* play);
    // The display mode at start (no item chosen yet), and the two items' commands.
    void SetDisplayMode(bool topmost);
    void OnViewTopmost();
    void OnViewNormal();

    // A double click on pane 0..3: zooms a pane with a channel, or puts the grid back.
    void OnPaneDoubleClick(int pane);
    // The zoomed pane, or -1 while the grid (m_bFourPanes) is shown.
    int ZoomedPane() const { return m_bFourPanes ? -1 : m_nZoomedPane; }

    // The video area over the whole screen, and back.
    void OnFullScreen();
    bool IsFullScreen() const { return m_bFullScreen; }

    // Puts every pane where the layout says (the zoomed one over the whole video area, the
    // others hidden), or, in full screen, over the client area's size; fits each picture to its pane.
    void PlacePanes(const MainLayout& layout, QSize client);

signals:
    // The window is to be laid out again (the zoom or full screen changed).
    void layoutNeeded();
    // The text of the last action for the status bar.
    void actionText(const QString& text);

private:
    void SetTopmost(bool topmost);
    void PlacePane(int i, const QRect& r, bool visible);

    QWidget& m_window;
    PlaySet& m_set;
    std::array<CVideoPane*, 4> m_panes;
    QAction* m_pTopmost = nullptr;
    QAction* m_pNormal = nullptr;
    bool m_bFourPanes = true;
    int m_nZoomedPane = -1; // the pane filling the video area while m_bFourPanes is false
    bool m_bFullScreen = false;
    QRect m_normalGeometry; // the window's place before full screen
};
