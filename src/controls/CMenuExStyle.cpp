#include "controls/CMenuExStyle.h"

#include "controls/CBrushSelector.h"
#include "controls/CPenSelector.h"
#include "controls/ColorHls.h"
#include "controls/GdiDraw.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPointer>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>

namespace {

constexpr COLORREF kBackground = RgbColor(235, 240, 245);
constexpr COLORREF kBand = RgbColor(190, 190, 190);
constexpr COLORREF kSelectionFrame = RgbColor(49, 106, 197);
constexpr COLORREF kSelectionFill = RgbColor(193, 210, 238);
constexpr COLORREF kEtchDark = RgbColor(64, 0, 128);
constexpr COLORREF kEtchLight = RgbColor(255, 255, 255);

// The item text without its mnemonic marks; a tab part stays (it expands to spacing).
QString PlainText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) {
            ++i; // "&&" is a literal ampersand, "&x" underlines x
        }
        out.append(text[i]);
    }
    return out;
}

// A two-pixel etched rectangle: top and left in one colour, bottom and right in the other.
void Draw3dRect(QPainter& p, int x, int y, int cx, int cy, COLORREF topLeft, COLORREF bottomRight) {
    gdi::FillSolidRect(p, x, y, x + cx - 1, y + 1, topLeft);
    gdi::FillSolidRect(p, x, y, x + 1, y + cy - 1, topLeft);
    gdi::FillSolidRect(p, x + cx - 1, y, x + cx, y + cy, bottomRight);
    gdi::FillSolidRect(p, x, y + cy - 1, x + cx, y + cy, bottomRight);
}

} // namespace

CMenuExStyle::CMenuExStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

CMenuExStyle* CMenuExStyle::Instance() {
    static QPointer<CMenuExStyle> instance;
    if (instance.isNull()) {
        instance = new CMenuExStyle;
        instance->setParent(qApp); // lives as long as the application
    }
    return instance;
}

QSize CMenuExStyle::MeasureItem(const QString& text, bool separator, bool opensPopup, const QFont& font) {
    if (separator) {
        return QSize(0, kSeparatorHeight);
    }
    const QFontMetrics fm(font);
    QString plain = PlainText(text);
    plain.replace(u'\t', QStringLiteral("        "));
    const int width = fm.horizontalAdvance(plain) + kIconWidth + (opensPopup ? 15 : 0);
    return QSize(width, kIconHeight + 4);
}

int CMenuExStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const {
    switch (metric) {
    case PM_MenuHMargin:
    case PM_MenuVMargin:
    case PM_MenuDesktopFrameWidth:
        return 0;
    case PM_MenuPanelWidth:
        return 1;
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

int CMenuExStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                            QStyleHintReturn* returnData) const {
    if (hint == SH_Menu_AllowActiveAndDisabled) {
        return 0;
    }
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

QSize CMenuExStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                     const QWidget* widget) const {
    if (type == CT_MenuItem) {
        if (const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option)) {
            const bool separator = item->menuItemType == QStyleOptionMenuItem::Separator;
            const bool popup = item->menuItemType == QStyleOptionMenuItem::SubMenu;
            QSize s = MeasureItem(item->text, separator, popup, item->font);
            // The menu gives every item room for its check-mark column as well.
            s.setWidth(s.width() + kCheckColumnWidth);
            return s;
        }
    }
    return QProxyStyle::sizeFromContents(type, option, size, widget);
}

void CMenuExStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                 const QWidget* widget) const {
    if (element == PE_PanelMenu || element == PE_FrameMenu) {
        const QRect r = option->rect;
        if (element == PE_PanelMenu) {
            gdi::FillSolidRect(*painter, r.left(), r.top(), r.left() + r.width(), r.top() + r.height(),
                               kBackground);
        }
        gdi::FrameRect(*painter, r.left(), r.top(), r.left() + r.width(), r.top() + r.height(),
                       AdjustHLS(SysColorBtnFace(widget), -40, 0));
        return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

void CMenuExStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                               const QWidget* widget) const {
    if (element == CE_MenuItem) {
        if (const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option)) {
            DrawItem(item, painter);
            return;
        }
    }
    if (element == CE_MenuEmptyArea) {
        const QRect r = option->rect;
        gdi::FillSolidRect(*painter, r.left(), r.top(), r.left() + r.width(), r.top() + r.height(),
                           kBackground);
        return;
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

void CMenuExStyle::DrawItem(const QStyleOptionMenuItem* item, QPainter* p) const {
    const int left = item->rect.left();
    const int top = item->rect.top();
    const int right = left + item->rect.width();
    const int bottom = top + item->rect.height();
    p->save();
    gdi::FillSolidRect(*p, left, top, right, bottom, kBackground);
    gdi::FillSolidRect(*p, left, top, left + kBandWidth, bottom, kBand);
    const QRect textRect(QPoint(left + kTextLeft, top), QPoint(right - 1, bottom - 1));

    if (item->menuItemType == QStyleOptionMenuItem::Separator) {
        const int mid = top + (bottom - top) / 2;
        Draw3dRect(*p, textRect.left(), mid, right - 2 - textRect.left(), 2, kEtchDark, kEtchLight);
        p->restore();
        return;
    }
    const bool selected = (item->state & State_Selected) != 0;
    const bool grayed = (item->state & State_Enabled) == 0;
    if (selected) {
        CPenSelector pen(p, kSelectionFrame);
        CBrushSelector brush(p, kSelectionFill);
        gdi::Rectangle(*p, left, top, right, bottom);
    }
    p->setFont(item->font);
    // The item text is drawn without the single-line flag, so the vertical centring does not
    // apply and the text sits at the top of its rectangle; a tab moves on to the next stop of
    // eight average character widths. The grayed text is embossed the same way, tabs unexpanded.
    const int textFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextShowMnemonic | Qt::TextSingleLine;
    const QString text = item->text;
    const qsizetype tab = text.indexOf(u'\t');
    const auto drawText = [&](const QRect& r, bool expandTabs) {
        if (!expandTabs || tab < 0) {
            p->drawText(r, textFlags, text);
            return;
        }
        const QFontMetrics fm(item->font);
        const QString before = text.left(tab);
        p->drawText(r, textFlags, before);
        const int stop = 8 * fm.averageCharWidth();
        const int used = fm.horizontalAdvance(QString(before).remove(u'&'));
        const int next = stop > 0 ? (used / stop + 1) * stop : used;
        p->drawText(r.adjusted(next, 0, 0, 0), textFlags, text.mid(tab + 1));
    };
    if (grayed) {
        p->setPen(Qt::white);
        drawText(textRect.translated(1, 1), false);
        p->setPen(QColor(128, 128, 128));
        drawText(textRect, false);
    } else {
        p->setPen(Qt::black);
        drawText(textRect, true);
    }
    if (item->checked) {
        // The mark: single line, centred vertically, at the left of the icon box.
        const QString mark = QStringLiteral("√");
        QRect box(QPoint(left, top), QPoint(left + kIconWidth + 4 - 1, top + kIconHeight + 4 - 1));
        const int markFlags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
        QFont markFont = item->font;
        markFont.setStyleStrategy(QFont::NoAntialias); // a crisp mark in exactly its colours
        p->setFont(markFont);
        if (grayed) {
            p->setPen(Qt::white);
            p->drawText(box.translated(1, 1), markFlags, mark);
            p->setPen(QColor(127, 127, 127));
            p->drawText(box, markFlags, mark);
        } else {
            box.adjust(2, 2, -2, -2);
            p->setPen(QApplication::palette().color(QPalette::WindowText));
            p->drawText(box, markFlags, mark);
        }
    }
    p->restore();
}
