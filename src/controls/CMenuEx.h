#pragma once
// Owner-drawn popup menu built from a menu resource (the pane context menus 129, 143, 144,
// 145: the pane's title item, a separator and "开始抓图"). The owner takes GetSubMenu(0),
// shows it at a screen position, and receives the chosen item's command id.
#include <QObject>
#include <QPoint>

class QAction;
class QMenu;

class CMenuEx : public QObject {
    Q_OBJECT
public:
    explicit CMenuEx(QObject* parent = nullptr);
    ~CMenuEx() override;

    bool LoadMenu(int nIDResource);
    QMenu* GetSubMenu(int index) const;
    // Adds an item carrying command id to the end of the popup (AppendMenu); null before LoadMenu.
    QAction* AppendCommand(const QString& text, int id);
    // TrackPopupMenu: shows sub-menu 0 at the screen position and returns at once; choosing an
    // item emits command(id), dismissing the menu nothing.
    void TrackPopupMenu(const QPoint& screenPos);

    // The command id an item of the popup carries (0 for none).
    static int CommandId(const QAction* action);

signals:
    void command(int id);

private:
    QMenu* m_popup = nullptr; // owned
};
