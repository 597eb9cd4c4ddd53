#pragma once
// The seek bar as the desktop's accessibility interface sees it: a slider named by its
// accessible name ("进度") whose value is the scroll position, 0 to the range's size. Setting
// the value through the interface acts like a click in the channel: the owner is told with
// SB_THUMBTRACK.
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>

class CXScrollBar;

class CXScrollBarAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit CXScrollBarAccessible(QWidget* widget);

    // Registers the factory once per process.
    static void Install();

    void* interface_cast(QAccessible::InterfaceType type) override;
    QString text(QAccessible::Text t) const override;

    QVariant currentValue() const override;
    void setCurrentValue(const QVariant& value) override;
    QVariant maximumValue() const override;
    QVariant minimumValue() const override;
    QVariant minimumStepSize() const override;

private:
    CXScrollBar* bar() const;
};
