#include "controls/CMenuEx.h"

#include "controls/CMenuExStyle.h"
#include "uikit/Resource.h"

#include <QAction>
#include <QMenu>

namespace {

struct ContextMenu {
    int resource;
    const char* title;
    int titleId;
    int captureId;
};

// Menu resources 129, 143, 144, 145: one popup each with the pane's title, a separator and
// the snapshot command.
constexpr ContextMenu kContextMenus[] = {
    {IDR_CONTEXT1, "视频一", ID_PANE_TITLE_1, ID_CAPTURE_1},
    {IDR_CONTEXT2, "视频二", ID_PANE_TITLE_2, ID_CAPTURE_2},
    {IDR_CONTEXT3, "视频三", ID_PANE_TITLE_3, ID_CAPTURE_3},
    {IDR_CONTEXT4, "视频四", ID_PANE_TITLE_4, ID_CAPTURE_4},
};

constexpr const char* kCommandProperty = "commandId";

} // namespace

CMenuEx::CMenuEx(QObject* parent) : QObject(parent) {}

CMenuEx::~CMenuEx() {
    delete m_popup;
}

bool CMenuEx::LoadMenu(int nIDResource) {
    const ContextMenu* found = nullptr;
    for (const ContextMenu& m : kContextMenus) {
        if (m.resource == nIDResource) {
            found = &m;
        }
    }
    if (found == nullptr) {
        return false; // no such menu resource
    }
    delete m_popup;
    m_popup = new QMenu();
    m_popup->setObjectName(QStringLiteral("CMenuEx%1").arg(nIDResource));
    m_popup->setStyle(CMenuExStyle::Instance());
    connect(m_popup, &QMenu::triggered, this, [this](QAction* chosen) {
        if (const int id = CommandId(chosen); id != 0) {
            emit command(id);
        }
    });
    auto addCommand = [this](const QString& text, int id) {
        QAction* a = m_popup->addAction(text);
        a->setProperty(kCommandProperty, id);
    };
    addCommand(QString::fromUtf8(found->title), found->titleId);
    m_popup->addSeparator();
    addCommand(QStringLiteral("开始抓图"), found->captureId);
    return true;
}

QMenu* CMenuEx::GetSubMenu(int index) const {
    return index == 0 ? m_popup : nullptr;
}

QAction* CMenuEx::AppendCommand(const QString& text, int id) {
    if (m_popup == nullptr) {
        return nullptr;
    }
    QAction* a = m_popup->addAction(text);
    a->setProperty(kCommandProperty, id);
    return a;
}

void CMenuEx::TrackPopupMenu(const QPoint& screenPos) {
    if (m_popup != nullptr) {
        m_popup->popup(screenPos);
    }
}

int CMenuEx::CommandId(const QAction* action) {
    return action != nullptr ? action->property(kCommandProperty).toInt() : 0;
}
