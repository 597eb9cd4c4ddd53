#pragma once
// The main window's in and out marks and its export command. The marks are at the start of the
// reference's frame shown (I, O), in reference seconds; -1 when not set. The out mark's frame is
// the first one after the interval. Play stops at the out mark, or loops back to the in mark
// while 循环播放 is checked. 文件 -> 导出视频... opens the export dialog for the open set.
#include <QObject>

class CTetravDlg;
class QMenu;

class CTetravDlgExport : public QObject {
    Q_OBJECT
public:
    // The window owns this.
    explicit CTetravDlgExport(CTetravDlg& dlg);

    // 导出视频... in the file menu (above 退出), the marks' items and 循环播放 in the play menu,
    // and the I and O keys.
    void AddMenus(QMenu* file, QMenu* play);

    void OnSetInMark();
    void OnSetOutMark();
    void OnClearMarks();
    double InMark() const { return m_in; }
    double OutMark() const { return m_out; }
    void OnExportVideo();
    // After each sync tick: play that has reached the out mark stops or loops.
    void CheckOutMark();

private:
    double ReferenceRate() const;
    void ShowMarks();

    CTetravDlg& m_dlg;
    double m_in = -1.0;
    double m_out = -1.0;
    double m_lastTick = -1.0; // the reference's position at the last sync tick
};
