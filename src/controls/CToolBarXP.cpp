#include "controls/CToolBarXP.h"

#include "app/CBCGPControlIds.h"
#include "app/Resource.h"
#include "controls/ControlBitmaps.h"

#include <QAction>
#include <QIcon>
#include <QPixmap>
#include <QToolButton>

namespace {

// Tool bar resource 128: the buttons' command ids in order, 0 for a separator. Button n
// (separators not counted) shows image n of the bitmap strip.
constexpr int kMainButtons[] = {ID_TB_PLAY,         ID_TB_PAUSE,  ID_TB_STOP, 0,         ID_TB_SLOWER,
                                ID_TB_NORMAL_SPEED, ID_TB_FASTER, 0,          ID_TB_OPEN};
constexpr int kImageSize = 16;
constexpr const char* kCommandProperty = "commandId";

} // namespace

CToolBarXP::CToolBarXP(QWidget* parent) : QToolBar(parent) {
    setMovable(false);
    setFloatable(false);
    setIconSize(QSize(kImageSize, kImageSize));
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setContextMenuPolicy(Qt::PreventContextMenu);
}

CToolBarXP::~CToolBarXP() = default;

bool CToolBarXP::CreateEx(QWidget* parent, int nId) {
    if (parent == nullptr) {
        return false;
    }
    if (parentWidget() != parent) {
        setParent(parent);
    }
    SetDlgCtrlID(this, nId);
    return true;
}

bool CToolBarXP::LoadToolBar(int nIDResource) {
    if (nIDResource != IDR_MAINFRAME) {
        return false;
    }
    const QImage strip = LoadToolBarBitmap(nIDResource);
    if (strip.isNull()) {
        return false;
    }
    clear();
    int image = 0;
    for (const int id : kMainButtons) {
        if (id == 0) {
            addSeparator();
            continue;
        }
        const QImage icon = strip.copy(image * kImageSize, 0, kImageSize, kImageSize);
        ++image;
        QAction* action = addAction(QIcon(QPixmap::fromImage(icon)), QString());
        action->setProperty(kCommandProperty, id);
        if (QWidget* button = widgetForAction(action)) {
            SetDlgCtrlID(button, id);
        }
        connect(action, &QAction::triggered, this, [this, id] { emit command(id); });
    }
    return true;
}

QAction* CToolBarXP::ButtonAction(int commandId) const {
    const auto list = actions();
    for (QAction* a : list) {
        if (!a->isSeparator() && a->property(kCommandProperty).toInt() == commandId) {
            return a;
        }
    }
    return nullptr;
}

QList<int> CToolBarXP::ButtonIds() const {
    QList<int> ids;
    const auto list = actions();
    for (QAction* a : list) {
        if (!a->isSeparator()) {
            ids.append(a->property(kCommandProperty).toInt());
        }
    }
    return ids;
}

bool CToolBarXP::EnableButton(int commandId, bool enable) {
    QAction* a = ButtonAction(commandId);
    if (a == nullptr) {
        return false;
    }
    a->setEnabled(enable);
    return true;
}

bool CToolBarXP::IsButtonEnabled(int commandId) const {
    const QAction* a = ButtonAction(commandId);
    return a != nullptr && a->isEnabled();
}

void CToolBarXP::UpdateTipText(int commandId, const QString& text) {
    QAction* a = ButtonAction(commandId);
    if (a == nullptr) {
        return;
    }
    a->setToolTip(text);
    a->setIconText(text);
    if (QWidget* button = widgetForAction(a)) {
        button->setToolTip(text);
        button->setAccessibleName(text);
    }
}

QString CToolBarXP::GetTipText(int commandId) const {
    const QAction* a = ButtonAction(commandId);
    return a != nullptr ? a->toolTip() : QString();
}
