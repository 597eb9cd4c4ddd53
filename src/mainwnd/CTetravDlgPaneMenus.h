#pragma once
// The panes' context menus (a right click on a pane that shows a video): the pane's title item,
// 开始抓图, and the offset and alignment items; the sound and picture controllers add theirs.
#include <QObject>

class CMenuEx;
class CTetravDlgBars;
class PlaySet;
class QMenu;

class CTetravDlgPaneMenus : public QObject {
    Q_OBJECT
public:
    // bars: where the menus open (from the screen's size); parent owns this.
    CTetravDlgPaneMenus(PlaySet& set, const CTetravDlgBars& bars, QObject* parent);

    // Loads the four menus from their resources with the offset and alignment items.
    void Create();
    // Pane 0..3's menu (m_menuContext) and its popup (m_pPopup); null before Create.
    CMenuEx* Menu(int pane) const { return m_menuContext[pane]; }
    QMenu* Popup(int pane) const { return m_pPopup[pane]; }

    // A right click on pane 0..3: its menu where the layout says, when the pane shows a video.
    void OnPaneRightClick(int pane);

signals:
    // An item of a pane menu was chosen.
    void command(int id);
    // Pane's menu is about to open: its items are to be enabled as things stand.
    void aboutToShow(int pane);

private:
    PlaySet& m_set;
    const CTetravDlgBars& m_bars;
    CMenuEx* m_menuContext[4] = {nullptr, nullptr, nullptr, nullptr};
    QMenu* m_pPopup[4] = {nullptr, nullptr, nullptr, nullptr};
};
