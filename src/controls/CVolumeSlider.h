#pragma once
// The volume slider: the trackbar's thumb over a button-face background and an etched wedge
// rising to the right. A click without dragging puts the thumb straight at the clicked place.
#include "uikit/CBCGPSliderCtrl.h"

class CVolumeSlider : public CBCGPSliderCtrl {
    Q_OBJECT
public:
    explicit CVolumeSlider(QWidget* parent = nullptr);
    ~CVolumeSlider() override;

    // The thumb as the style places it, and the wedge's corners (left, top) and (right, bottom).
    QRect ThumbRect() const;
    QRect WedgeRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int m_nDownX = 0; // screen x of the last left-button press
};
