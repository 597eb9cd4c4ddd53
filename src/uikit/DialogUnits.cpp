#include "uikit/DialogUnits.h"

namespace dlu {

QFont DialogFont() {
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(kFontPixels);
    return font;
}

} // namespace dlu
