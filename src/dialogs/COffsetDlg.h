#pragma once
// The time offset dialog "设置时间偏移": one pane's offset as a signed time in a masked
// ±hh:mm:ss.mmm edit (COffsetEdit), and the same offset in frames of that pane's video. Editing
// either field updates the other; OK applies what the field edited last shows (frames stay exact
// at any frame rate). A frame count out of range is refused as it is typed, with a beep.
#include "uikit/CBCGPDialog.h"

#include <QString>

class COffsetEdit;
class QSpinBox;

class COffsetDlg : public CBCGPDialog {
    Q_OBJECT
public:
    // seconds: the offset to start from; frameRate: the pane's (0 = unknown, 25 is assumed).
    COffsetDlg(double seconds, double frameRate, QWidget* parent = nullptr);
    ~COffsetDlg() override;

    // The offset chosen (seconds), once the dialog ended with IDOK.
    double Offset() const { return m_dOffset; }
    COffsetEdit* TimeEdit() const { return m_editTime; }
    QSpinBox* FramesEdit() const { return m_editFrames; }

    static constexpr double kLongest = 24.0 * 3600.0;
    // "+hh:mm:ss.mmm" / "-hh:mm:ss.mmm", to the nearest millisecond.
    static QString OffsetText(double seconds);
    enum class Reading { Ok, Unreadable, OutOfRange };
    // Reads a text as OffsetText writes it (the seconds field may exceed 59).
    static Reading ReadOffset(const QString& text, double& seconds);

protected:
    void OnOK() override;

private:
    void TimeEdited();
    void FramesEdited();

    COffsetEdit* m_editTime = nullptr;
    QSpinBox* m_editFrames = nullptr;
    double m_dFrameRate = 25.0;
    double m_dOffset = 0.0;
    bool m_bFromFrames = false; // the frames field was edited last
    bool m_bUpdating = false;   // one field is being set from the other
};
