#include "controls/CXScrollBarAccessible.h"

#include "controls/CXScrollBar.h"

namespace {

QAccessibleInterface* Factory(const QString& className, QObject* object) {
    if (className == QLatin1String("CXScrollBar") && object != nullptr && object->isWidgetType()) {
        return new CXScrollBarAccessible(static_cast<QWidget*>(object));
    }
    return nullptr;
}

} // namespace

CXScrollBarAccessible::CXScrollBarAccessible(QWidget* widget)
    : QAccessibleWidget(widget, QAccessible::Slider) {}

void CXScrollBarAccessible::Install() {
    static const bool installed = [] {
        QAccessible::installFactory(Factory);
        return true;
    }();
    (void)installed;
}

CXScrollBar* CXScrollBarAccessible::bar() const {
    return static_cast<CXScrollBar*>(widget());
}

void* CXScrollBarAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::ValueInterface) {
        return static_cast<QAccessibleValueInterface*>(this);
    }
    return QAccessibleWidget::interface_cast(type);
}

QString CXScrollBarAccessible::text(QAccessible::Text t) const {
    if (t == QAccessible::Value) {
        return QString::number(bar()->GetScrollPos());
    }
    return QAccessibleWidget::text(t);
}

QVariant CXScrollBarAccessible::currentValue() const {
    return bar()->GetScrollPos();
}

void CXScrollBarAccessible::setCurrentValue(const QVariant& value) {
    CXScrollBar* b = bar();
    if (!b->isEnabled()) {
        return;
    }
    b->TrackTo(value.toInt());
}

QVariant CXScrollBarAccessible::maximumValue() const {
    return bar()->Range();
}
QVariant CXScrollBarAccessible::minimumValue() const {
    return 0;
}
QVariant CXScrollBarAccessible::minimumStepSize() const {
    return 1;
}
