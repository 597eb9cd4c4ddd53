#pragma once
// The XP-like look every dialog takes: a Fusion-based style with a light blue-grey palette,
// flat buttons with rounded frames, and the CJK-capable dialog font.
#include <QProxyStyle>

class QWidget;

class CBCGPWinXPVisualManager : public QProxyStyle {
    Q_OBJECT
public:
    CBCGPWinXPVisualManager();

    void polish(QPalette& palette) override;
    using QProxyStyle::polish;

    // Makes this look the default for the application (once) and applies it to a dialog.
    static void SetDefaultManager();
    static void EnableVisualManagerStyle(QWidget* dialog, bool enable);
    static QPalette XpPalette();
};
