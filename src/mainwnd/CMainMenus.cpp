#include "mainwnd/CMainMenus.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

CMainMenus::CMainMenus(QWidget* window) : QObject(window), m_pBar(new QMenuBar(window)) {
    m_pBar->setNativeMenuBar(false);
}

QMenu* CMainMenus::AddMenu(const char* text) {
    return m_pBar->addMenu(QString::fromUtf8(text));
}

QAction* CMainMenus::Add(QMenu* menu, const char* text, int id) {
    QAction* action = menu->addAction(QString::fromUtf8(text));
    action->setData(id);
    connect(action, &QAction::triggered, this, [this, id] { emit command(id); });
    m_actions[id] = action;
    return action;
}

void CMainMenus::Keep(int commandId, QAction* action) {
    if (action != nullptr) {
        m_actions[commandId] = action;
    } else {
        m_actions.erase(commandId);
    }
}

QAction* CMainMenus::Action(int commandId) const {
    const auto it = m_actions.find(commandId);
    return it == m_actions.end() ? nullptr : it->second;
}
