// The gradient button's pixels, and the About box's banner and rule made of it.
#include "dialogs/CAboutDlg.h"
#include "dialogs/CGradientButton.h"
#include "support/Pixels.h"

#include <gtest/gtest.h>

#include <QImage>

namespace {

QImage render(CGradientButton& b, int w, int h, const QString& text) {
    b.setText(text);
    b.resize(w, h);
    return b.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Text is white; the gradient never has red above 120, so a red above 160 is text.
bool isText(QRgb c) {
    return qRed(c) > 160;
}

QRect textBox(const QImage& img, int fromX, int toX) {
    QRect box;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = fromX; x < toX; ++x) {
            box |= isText(img.pixel(x, y)) ? QRect(x, y, 1, 1) : QRect();
        }
    }
    return box;
}

// The gradient's columns, r = 120 x / w, g = b = 128 + 122 x / w, each truncated; an empty text
// shows the plain button face; the text and the tab part land where the offsets say.
TEST(GradientButtonTest, ColumnsTextTabPartPlainFaceAndTheAboutBoxBannerAndRule) {
    const struct {
        int width, x;
        QRgb expected;
    } cases[] = {
        {235, 0, qRgb(0, 128, 128)},    {235, 1, qRgb(0, 128, 128)},     {235, 2, qRgb(1, 129, 129)},
        {235, 117, qRgb(59, 188, 188)}, {353, 352, qRgb(119, 249, 249)},
    };
    CGradientButton button;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "width " << c.width << " column " << c.x);
        const QImage img = render(button, c.width, 26, "x");
        for (int y : {0, 5, 25}) {
            EXPECT_TRUE(isText(img.pixel(c.x, y)) || img.pixel(c.x, y) == c.expected) << "row " << y;
        }
    }
    const QImage empty = render(button, 120, 20, QString());
    const QRgb face = button.palette().color(QPalette::Button).rgb();
    EXPECT_EQ(tetrav::test::CountPixels(empty, face), 120 * 20) << "only the plain face";

    const QImage whole = render(button, 235, 40, "Tetrav");
    const QRect left = textBox(whole, 0, 235);
    ASSERT_FALSE(left.isEmpty());
    EXPECT_TRUE(left.left() >= 2 && left.left() <= 4) << "2 pixels in, plus the glyph's bearing";
    EXPECT_TRUE(left.top() >= 10 && left.top() <= 16) << "the 18-pixel cell starts 10 pixels down";

    const QImage split = render(button, 235, 40, "Tetrav\tV1.3");
    const QRect first = textBox(split, 0, 117);
    const QRect second = textBox(split, 117, 235);
    EXPECT_EQ(first, left) << "the part before the tab, as if alone";
    ASSERT_FALSE(second.isEmpty()) << "the part after the tab is drawn at the right";
    EXPECT_TRUE(second.right() <= 235 - 3 && second.right() >= 235 - 6) << "right-aligned 2 pixels in";
    EXPECT_GE(second.top(), 5);
    EXPECT_LT(second.top(), left.top()) << "5 pixels down, above the banner text";
    EXPECT_LT(second.height(), left.height()) << "in the smaller default GUI font";

    // A text that begins with a tab is drawn whole at the left.
    const QImage leading = render(button, 235, 40, "\tV1.3");
    const QRect all = textBox(leading, 0, 235);
    ASSERT_FALSE(all.isEmpty());
    EXPECT_LT(all.right(), 117) << "nothing right-aligned";
    EXPECT_GE(all.top(), 10);

    // The About box's banner spans the top and shows its text; its rule shows the gradient
    // without the text, which lies below the visible area.
    CAboutDlg about;
    about.show();
    EXPECT_EQ(about.m_btnBanner->geometry().topLeft(), QPoint(0, 0));
    EXPECT_EQ(about.m_btnBanner->width(), about.width());
    const QImage banner = tetrav::test::Shot(about.m_btnBanner);
    EXPECT_FALSE(textBox(banner, 0, banner.width()).isEmpty()) << "the banner shows its text";
    const QImage rule = tetrav::test::Shot(about.m_btnRule);
    EXPECT_TRUE(textBox(rule, 0, rule.width()).isEmpty()) << "the rule's text lies below its visible area";
    EXPECT_EQ(rule.pixel(0, rule.height() / 2), qRgb(0, 128, 128));
}

} // namespace
