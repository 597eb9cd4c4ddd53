#include "dialogs/CGradientButton.h"

#include "uikit/DialogUnits.h"

#include <QFontMetrics>
#include <QPainter>

namespace {

// The walk over the columns as the classic drawing does it: the start value plus one step per
// column, added up in double precision and truncated for each column.
struct Channel {
    double value;
    double step;
};

Channel MakeChannel(int from, int to, int width) {
    return {double(from), double(to - from) / double(width)};
}

} // namespace

CGradientButton::CGradientButton(QWidget* parent)
    : QPushButton(parent), m_crFrom(qRgb(0, 128, 128)), m_crTo(qRgb(120, 250, 250)),
      m_crText(qRgb(255, 255, 255)), m_font(dlu::DialogFont()), m_tabFont(dlu::DialogFont()) {
    m_font.setPixelSize(18);
    m_font.setWeight(QFont::Medium); // 500
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CGradientButton::~CGradientButton() = default;

QRgb CGradientButton::ColumnColor(QRgb from, QRgb to, int width, int x) {
    Channel r = MakeChannel(qRed(from), qRed(to), width);
    Channel g = MakeChannel(qGreen(from), qGreen(to), width);
    Channel b = MakeChannel(qBlue(from), qBlue(to), width);
    for (int i = 0; i < x; ++i) {
        r.value += r.step;
        g.value += g.step;
        b.value += b.step;
    }
    return qRgb(int(r.value), int(g.value), int(b.value));
}

void CGradientButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    DrawItem(painter, rect());
}

void CGradientButton::DrawItem(QPainter& p, const QRect& rc) {
    QString text = this->text();
    const int left = rc.left();
    const int top = rc.top();
    const int right = rc.left() + rc.width(); // exclusive, as a classic rectangle
    if (text.isEmpty()) {
        p.fillRect(rc, palette().color(QPalette::Button));
        return;
    }
    const int width = right - left;
    Channel r = MakeChannel(qRed(m_crFrom), qRed(m_crTo), width);
    Channel g = MakeChannel(qGreen(m_crFrom), qGreen(m_crTo), width);
    Channel b = MakeChannel(qBlue(m_crFrom), qBlue(m_crTo), width);
    for (int x = left; x < right; ++x) {
        p.fillRect(QRect(x, top, 1, rc.height()), QColor(int(r.value), int(g.value), int(b.value)));
        r.value += r.step;
        g.value += g.step;
        b.value += b.step;
    }

    p.setPen(QColor(m_crText));
    const qsizetype tab = text.indexOf(QLatin1Char('\t'));
    if (tab > 0) {
        // The part after the tab, right-aligned: its text cell ends 2 pixels inside the edge.
        const QString after = text.mid(tab + 1);
        const QFontMetrics fm(m_tabFont);
        p.setFont(m_tabFont);
        p.drawText(right - 2 - fm.horizontalAdvance(after), top + 5 + fm.ascent(), after);
        text.truncate(tab);
    }
    // The text cell's top left corner at (left + 2, top + 10).
    p.setFont(m_font);
    p.drawText(left + 2, top + 10 + QFontMetrics(m_font).ascent(), text);
}
