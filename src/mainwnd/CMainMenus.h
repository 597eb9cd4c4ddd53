#pragma once
// The main window's menu bar and the map from command ids to their menu items, which the
// window's parts look up (to enable, check or trigger an item) and add to.
#include <QObject>

#include <map>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

class CMainMenus : public QObject {
    Q_OBJECT
public:
    // The menu bar is a child of window.
    explicit CMainMenus(QWidget* window);

    QMenuBar* Bar() const { return m_pBar; }
    // A menu of the bar titled text (UTF-8).
    QMenu* AddMenu(const char* text);
    // An item of menu giving command id.
    QAction* Add(QMenu* menu, const char* text, int id);
    // The menu item of commandId is action from now on (null: there is none).
    void Keep(int commandId, QAction* action);
    QAction* Action(int commandId) const;

signals:
    void command(int id);

private:
    QMenuBar* m_pBar = nullptr;
    std::map<int, QAction*> m_actions;
};
