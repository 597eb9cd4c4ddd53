#pragma once
// An owner-drawn button that paints a horizontal gradient with its text on it: the About box's
// banner and its thin rule. One-pixel columns run from m_crFrom at the left edge towards m_crTo;
// the text is drawn in white in the banner font, 2 pixels from the left and 10 from the top.
// A text "left<TAB>right" draws "right" right-aligned 2 pixels inside the right edge, 5 pixels
// from the top, in the default GUI font. An empty text shows the plain button face.
#include <QFont>
#include <QPushButton>
#include <QRgb>

class CGradientButton : public QPushButton {
    Q_OBJECT
public:
    explicit CGradientButton(QWidget* parent = nullptr);
    ~CGradientButton() override;

    // The colour of pixel column x of a gradient width pixels wide (x from 0).
    static QRgb ColumnColor(QRgb from, QRgb to, int width, int x);

    QRgb m_crFrom;
    QRgb m_crTo;
    QRgb m_crText;
    QFont m_font;    // the banner font: the default GUI font at 18 pixels, weight 500
    QFont m_tabFont; // the default GUI font itself

protected:
    void paintEvent(QPaintEvent* event) override;
    // DrawItem: paints the whole control into rect.
    void DrawItem(QPainter& painter, const QRect& rect);
};
