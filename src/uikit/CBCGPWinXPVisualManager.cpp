#include "uikit/CBCGPWinXPVisualManager.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>
#include <QWidget>

CBCGPWinXPVisualManager::CBCGPWinXPVisualManager() : QProxyStyle(QStyleFactory::create("Fusion")) {}

QPalette CBCGPWinXPVisualManager::XpPalette() {
    QPalette p;
    const QColor face(236, 233, 216); // the XP "button face"
    p.setColor(QPalette::Window, face);
    p.setColor(QPalette::Button, face);
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::AlternateBase, QColor(245, 244, 235));
    p.setColor(QPalette::WindowText, Qt::black);
    p.setColor(QPalette::ButtonText, Qt::black);
    p.setColor(QPalette::Text, Qt::black);
    p.setColor(QPalette::Highlight, QColor(49, 106, 197));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Light, Qt::white);
    p.setColor(QPalette::Midlight, QColor(241, 239, 226));
    p.setColor(QPalette::Mid, QColor(172, 168, 153));
    p.setColor(QPalette::Dark, QColor(113, 111, 100));
    p.setColor(QPalette::Shadow, QColor(64, 64, 64));
    p.setColor(QPalette::ToolTipBase, QColor(255, 255, 225));
    p.setColor(QPalette::ToolTipText, Qt::black);
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(172, 168, 153));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(172, 168, 153));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(172, 168, 153));
    return p;
}

void CBCGPWinXPVisualManager::polish(QPalette& palette) { palette = XpPalette(); }

void CBCGPWinXPVisualManager::SetDefaultManager() {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (app == nullptr || qobject_cast<CBCGPWinXPVisualManager*>(QApplication::style()) != nullptr) {
        return;
    }
    QApplication::setStyle(new CBCGPWinXPVisualManager); // the application owns the style
    QApplication::setPalette(XpPalette());
}

void CBCGPWinXPVisualManager::EnableVisualManagerStyle(QWidget* dialog, bool enable) {
    if (dialog == nullptr) {
        return;
    }
    dialog->setPalette(enable ? XpPalette() : QApplication::palette());
    dialog->setAutoFillBackground(enable);
}
