#pragma once
// The dialog in which the user picks the (up to) four video files of a set. Each slot has a
// read-only box and an Open button; a pick is written at once into the dialog's four paths
// (Picked), which the open command takes once the dialog has closed. A cancelled pick empties
// that slot's path; cancelling the whole dialog puts the four paths back as they were when it
// opened.
#include "uikit/CBCGPDialog.h"

#include <QString>
#include <array>
#include <functional>

class QLineEdit;
class QPushButton;

class CFileSelectDlg : public CBCGPDialog {
    Q_OBJECT
public:
    using PathList = std::array<QString, 4>;
    // paths: the set's files as the dialog opens.
    explicit CFileSelectDlg(QWidget* parent = nullptr, const PathList& paths = {});
    ~CFileSelectDlg() override;

    // The four paths as picked (empty: none).
    const PathList& Picked() const { return m_paths; }

    // The file-open dialog: given its parent and the filter list in Qt's ";;" form, answers with
    // the full path of an existing file, or an empty string when the user cancels.
    using Answer = std::function<void(const QString& path)>;
    using FilePicker = std::function<void(QWidget* parent, const QString& filter, Answer answer)>;
    // Replaces the file-open dialog (tests); an empty picker restores the default one.
    // Returns the picker in force before.
    static FilePicker SetFilePicker(FilePicker picker);
    // The default picker: QFileDialog for one existing file, first filter selected, window-modal
    // over parent; it answers once it is closed.
    static void RunFileDialog(QWidget* parent, const QString& filter, Answer answer);

    // The filter list as "description|patterns|...||", and converted to Qt's form.
    static QString FilterString();
    static QString ToQtFilter(const QString& classicFilter);

    // Texts of the four boxes (controls 1005, 1007, 1008, 1009).
    QString m_strFile1;
    QString m_strFile2;
    QString m_strFile3;
    QString m_strFile4;

protected:
    void BeforeShow() override;
    void OnCancel() override;
    void reject() override;

    // true: read the boxes into the members; false: write the members into the boxes.
    void UpdateData(bool saveAndValidate);

private:
    void CreateControls();
    void OnPickFile(int slot); // slot 0..3
    void Picked(int slot, const QString& picked);
    QString* member(int slot);

    std::array<QLineEdit*, 4> m_edits{};
    std::array<QPushButton*, 4> m_openButtons{};
    PathList m_paths;
    PathList m_pathsAtOpen;

    static FilePicker s_picker;
};
