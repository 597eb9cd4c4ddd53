#pragma once
// The main window's pane information (播放控制 -> "显示画面信息", kept in the settings file): each
// pane shows its file's name, its own time and frame number, its offset and, on the reference
// pane of a set of several, a mark; and each pane menu's "还原画面", which shows the whole picture
// again after a zoom.
#include <QObject>

#include <array>

class CMenuEx;
class CVideoPane;
class PlaySet;
class QAction;
class QMenu;

class CTetravDlgPaneInfo : public QObject {
    Q_OBJECT
public:
    // panes: the window's four panes; parent owns this.
    CTetravDlgPaneInfo(PlaySet& set, const std::array<CVideoPane*, 4>& panes, QObject* parent);

    // Adds the checkable "显示画面信息" to the play menu and returns it.
    QAction* AddMenuItem(QMenu* play);
    // Adds "还原画面" to pane's menu (whose popup enables it while the picture is enlarged).
    void AddResetItem(int pane, CMenuEx* menu, QMenu* popup);

    // The choice from the settings file, shown.
    void Load();
    // On or off, kept in the settings file.
    void OnToggle();
    bool Shown() const { return m_bPaneInfo; }
    // Gives every channel what its pane shows now (name, offset, reference, frame rate).
    void Show();

    // 还原画面 of pane 0..3: its whole picture again; the item enabled while there is a zoom to undo.
    void OnResetPicture(int pane);
    void EnableResetPicture(int pane);

private:
    PlaySet& m_set;
    std::array<CVideoPane*, 4> m_panes;
    std::array<QMenu*, 4> m_popups{};
    QAction* m_pItem = nullptr;
    bool m_bPaneInfo = false;
};
