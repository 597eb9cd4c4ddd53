#include "controls/CToolBarXP.h"

#include "uikit/CBCGPControlIds.h"
#include "uikit/Resource.h"
#include "controls/CBrushSelector.h"
#include "controls/COffscreenDC.h"
#include "controls/CPenSelector.h"
#include "controls/ColorHls.h"
#include "controls/ControlBitmaps.h"
#include "controls/GdiDraw.h"

#include <QAction>
#include <QEvent>
#include <QIcon>
#include <QLayout>
#include <QPainter>
#include <QPixmap>
#include <QToolButton>

namespace {

// Tool bar resource 128: the buttons' command ids in order, 0 for a separator. Button n
// (separators not counted) shows image n of the bitmap strip.
constexpr int kMainButtons[] = {ID_TB_PLAY,         ID_TB_PAUSE,  ID_TB_STOP, 0,         ID_TB_SLOWER,
                                ID_TB_NORMAL_SPEED, ID_TB_FASTER, 0,          ID_TB_OPEN};
constexpr int kImageSize = 16;
// A button is the image plus 7 x 6 pixels; a separator is 8 pixels wide.
constexpr QSize kButtonSize(kImageSize + 7, kImageSize + 6);
constexpr int kSeparatorWidth = 8;

// The image's shape filled with one colour.
QImage Silhouette(const QImage& image, COLORREF color) {
    QImage out = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter p(&out);
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(out.rect(), ToQColor(color));
    return out;
}
constexpr const char* kCommandProperty = "commandId";

} // namespace

CToolBarXP::CToolBarXP(QWidget* parent) : QToolBar(parent) {
    setMovable(false);
    setFloatable(false);
    setIconSize(QSize(kImageSize, kImageSize));
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setContextMenuPolicy(Qt::PreventContextMenu);
    setContentsMargins(1, 3, 6, 4); // the bar's borders: left, top, right, bottom
    if (layout() != nullptr) {
        layout()->setSpacing(0);
        layout()->setContentsMargins(0, 0, 0, 0);
    }
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
    // Like any new child window the bar goes below the controls made before it, so where the
    // layout lets it overlap one of them (the volume slider) that control stays on top.
    lower();
    show(); // created visible, also into a window that is already on the screen
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
            QAction* sep = addSeparator();
            if (QWidget* w = widgetForAction(sep)) {
                w->setFixedWidth(kSeparatorWidth);
                w->installEventFilter(this);
            }
            continue;
        }
        const QImage icon = strip.copy(image * kImageSize, 0, kImageSize, kImageSize);
        ++image;
        QAction* action = addAction(QIcon(QPixmap::fromImage(icon)), QString());
        action->setProperty(kCommandProperty, id);
        if (auto* button = qobject_cast<QToolButton*>(widgetForAction(action))) {
            SetDlgCtrlID(button, id);
            button->setFixedSize(kButtonSize);
            button->setAttribute(Qt::WA_Hover);
            button->installEventFilter(this);
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

// ---- the flat look -------------------------------------------------------------------------

void CToolBarXP::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    COffscreenDC dc(&painter, rect());
    gdi::FillSolidRect(dc, 0, 0, width(), height(), AdjustHLS(SysColorBtnFace(this), 20, 0));
}

bool CToolBarXP::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Paint) {
        if (auto* button = qobject_cast<QToolButton*>(watched)) {
            PaintButton(button);
            return true;
        }
        if (auto* w = qobject_cast<QWidget*>(watched)) {
            PaintSeparator(w);
            return true;
        }
    }
    return QToolBar::eventFilter(watched, event);
}

void CToolBarXP::PaintButton(QToolButton* button) {
    const COLORREF face = SysColorBtnFace(button);
    const COLORREF hl = SysColorHighlight(button);
    const int r = button->width();
    const int b = button->height();
    QPainter painter(button);
    COffscreenDC dc(&painter, button->rect());
    gdi::FillSolidRect(dc, 0, 0, r, b, AdjustHLS(face, 20, 0));

    const bool enabled = button->isEnabled();
    const bool hot = enabled && button->underMouse();
    const bool checked = button->isChecked();
    bool pressed = false;
    if (hot || checked) {
        // Down only while the left button, pressed on this button, is inside it.
        pressed = button->isDown();
        COLORREF fill;
        if (pressed) {
            fill = AdjustHLS(hl, 50, -50);
        } else if (hot && !checked) {
            fill = AdjustHLS(hl, 70, -57);
        } else if (hot) {
            fill = AdjustHLS(hl, 50, -50);
        } else {
            fill = AdjustHLS(hl, 80, -66);
        }
        CPenSelector pen(&dc, hl);
        CBrushSelector brush(&dc, fill);
        gdi::Rectangle(dc, 0, 0, r, b);
    }

    const QImage image = button->icon().pixmap(kImageSize, kImageSize).toImage();
    if (image.isNull()) {
        return;
    }
    if (!enabled || (hot && !pressed)) {
        const COLORREF shade = hot ? AdjustHLS(hl, 50, -66) : AdjustHLS(face, -27, 0);
        const int d = hot ? 4 : 3;
        dc.drawImage(QRect(d, d, kImageSize, kImageSize), Silhouette(image, shade));
    }
    if (enabled) {
        const int d = hot && !pressed ? 2 : 3;
        dc.drawImage(QRect(d, d, kImageSize, kImageSize), image);
    }
}

void CToolBarXP::PaintSeparator(QWidget* separator) {
    QPainter painter(separator);
    const int r = separator->width();
    const int b = separator->height();
    gdi::FillSolidRect(painter, 0, 0, r, b, AdjustHLS(SysColorBtnFace(separator), 20, 0));
    CPenSelector pen(&painter, AdjustHLS(SysColorBtnFace(separator), -15, 0));
    const int x = r / 2 - 1;
    gdi::Line(painter, x, 2, x, b - 2);
}
