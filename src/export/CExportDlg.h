#pragma once
// The export dialog "导出视频": the interval (between the in and out marks, or the whole
// reference), the picture size, the sound, the format and the file. 导出 runs the export beside
// the event loop with a progress bar; 取消 stops it and nothing is left behind; the end says
// where the file is (or why there is none). An existing file is replaced only when the user
// says so. Shown with open(): the window stays live while it runs.
#include "export/CExportTask.h"
#include "export/ExportJob.h"
#include "uikit/CBCGPDialog.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

class CExportDlg : public CBCGPDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 150;

    // set: the videos, offsets and reference; length: the reference's; in/out: the marks
    // (negative: not set).
    CExportDlg(const ExportJob& set, double length, double in, double out, QWidget* parent = nullptr);
    ~CExportDlg() override;

    // The job the fields describe now.
    ExportJob Job() const;
    bool IsExporting() const { return m_task->IsRunning(); }

    // For tests: the controls.
    QRadioButton* MarksChoice() const { return m_marks; }
    QComboBox* SizeChoice() const { return m_size; }
    QComboBox* SoundChoice() const { return m_sound; }
    QComboBox* FormatChoice() const { return m_format; }
    QLineEdit* FileEdit() const { return m_file; }
    QPushButton* ExportButton() const { return m_export; }
    QPushButton* CloseButton() const { return m_close; }
    QProgressBar* Progress() const { return m_progress; }
    QLabel* Status() const { return m_status; }

signals:
    // The export ended (status: done, cancelled or failed).
    void exportEnded(int status);

protected:
    void OnOK() override;
    void OnCancel() override;

private:
    void Browse();
    void FormatChosen();
    void Begin(bool overwrite);
    void Ended(const ExportResult& result);
    void SetRunning(bool running);

    ExportJob m_set;
    double m_length = 0.0;
    double m_in = -1.0;
    double m_out = -1.0;
    CExportTask* m_task = nullptr;
    QRadioButton* m_marks = nullptr;
    QRadioButton* m_whole = nullptr;
    QComboBox* m_size = nullptr;
    QComboBox* m_sound = nullptr;
    QComboBox* m_format = nullptr;
    QLineEdit* m_file = nullptr;
    QPushButton* m_browse = nullptr;
    QPushButton* m_export = nullptr;
    QPushButton* m_close = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_status = nullptr;
};
