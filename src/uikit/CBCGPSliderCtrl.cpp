#include "uikit/CBCGPSliderCtrl.h"

CBCGPSliderCtrl::CBCGPSliderCtrl(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setTickPosition(QSlider::NoTicks);
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QSlider::valueChanged, this, [this](int v) {
        if (!m_settingFromCode) {
            emit hscroll(v);
        }
    });
}

CBCGPSliderCtrl::~CBCGPSliderCtrl() = default;

void CBCGPSliderCtrl::SetPos(int pos) {
    m_settingFromCode = true;
    setValue(pos);
    m_settingFromCode = false;
}

void CBCGPSliderCtrl::SetRange(int minPos, int maxPos, bool redraw) {
    m_settingFromCode = true;
    setRange(minPos, maxPos);
    m_settingFromCode = false;
    if (redraw) {
        update();
    }
}

void CBCGPSliderCtrl::GetRange(int& minPos, int& maxPos) const {
    minPos = minimum();
    maxPos = maximum();
}
