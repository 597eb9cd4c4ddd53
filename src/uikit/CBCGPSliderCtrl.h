#pragma once
// Trackbar base: a horizontal QSlider with the trackbar's own operations (position, range)
// and its notification: hscroll() is emitted after every change the user makes with the mouse
// or keyboard, never for SetPos/SetRange from code.
#include <QSlider>

class CBCGPSliderCtrl : public QSlider {
    Q_OBJECT
public:
    explicit CBCGPSliderCtrl(QWidget* parent = nullptr);
    ~CBCGPSliderCtrl() override;

    int GetPos() const { return value(); }
    void SetPos(int pos); // TBM_SETPOS: clamped to the range, no notification
    void SetRange(int minPos, int maxPos, bool redraw = false);
    void GetRange(int& minPos, int& maxPos) const;
    int GetRangeMin() const { return minimum(); }
    int GetRangeMax() const { return maximum(); }

signals:
    // WM_HSCROLL to the owner: the position has been changed by the user.
    void hscroll(int position);

private:
    bool m_settingFromCode = false;
};
