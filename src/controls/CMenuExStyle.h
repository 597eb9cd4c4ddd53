#pragma once
// The look of the pane context menus: every item drawn on a pale background with a grey band
// on the left, a blue-framed light-blue bar under the selected item, etched separators and a
// "√" for checked items. One instance serves every menu; the application owns it.
#include <QProxyStyle>

class CMenuExStyle : public QProxyStyle {
    Q_OBJECT
public:
    static CMenuExStyle* Instance();

    // Item metrics.
    static constexpr int kSeparatorHeight = 10;
    static constexpr int kIconWidth = 16;
    static constexpr int kIconHeight = 15;
    static constexpr int kBandWidth = 20;
    static constexpr int kTextLeft = kIconWidth + 10;
    // Width the menu adds to every measured item for its check-mark column.
    static constexpr int kCheckColumnWidth = 15;

    // The measured size of an item with that text (an empty text with separator true for a
    // separator), in the given font.
    static QSize MeasureItem(const QString& text, bool separator, bool opensPopup, const QFont& font);

    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;

private:
    CMenuExStyle();
    void DrawItem(const class QStyleOptionMenuItem* item, QPainter* p) const;
};
