#include "uikit/CBCGPControlIds.h"

#include <QVariant>
#include <QWidget>

namespace {
constexpr const char* kIdProperty = "dlgCtrlId";
}

void SetDlgCtrlID(QWidget* control, int id) { control->setProperty(kIdProperty, id); }

int GetDlgCtrlID(const QWidget* control) {
    return control == nullptr ? 0 : control->property(kIdProperty).toInt();
}

QWidget* GetDlgItem(const QWidget* parent, int id) {
    if (parent == nullptr) {
        return nullptr;
    }
    const auto children = parent->findChildren<QWidget*>();
    for (QWidget* w : children) {
        if (GetDlgCtrlID(w) == id) {
            return w;
        }
    }
    return nullptr;
}
