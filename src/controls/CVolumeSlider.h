#pragma once
// The volume slider: the trackbar's thumb over a button-face background and an etched wedge
// rising to the right. A click without dragging puts the thumb straight at the clicked place.
#include "app/CBCGPSliderCtrl.h"

class CVolumeSlider : public CBCGPSliderCtrl {
    Q_OBJECT
public:
    explicit CVolumeSlider(QWidget* parent = nullptr);
    ~CVolumeSlider() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int m_nDownX = 0;
};
