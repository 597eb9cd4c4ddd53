#pragma once
// The options dialog "选择": sync mode, base video, display mode, snapshot folder, the four
// snapshot hot keys and, below them, the hot key that captures all four panes at once. It shows
// what the settings file says when it opens and, on OK, puts the four options into g_settings
// and all twelve entries into the file (the fifth hot key's two as well once the file has them
// or the key differs from its default). Sync mode, base video and
// snapshot folder act at once through g_settings; the display mode and the hot keys are read
// from the file at the next start. When the file cannot be written the dialog says so, the
// values stay in force for this run, and the file keeps what it had.
#include "uikit/CBCGPDialog.h"

#include <QString>

#include <array>
#include <functional>

class CHotKeyCtrl;
class CSettingsModel;
class QLineEdit;
class QRadioButton;

class COptionsDlg : public CBCGPDialog {
    Q_OBJECT
public:
    // With settings, OK stores the values through them (so what is in force for this run is
    // announced and kept); without, into g_settings alone.
    explicit COptionsDlg(QWidget* parent = nullptr, CSettingsModel* settings = nullptr);
    ~COptionsDlg() override;

    // The folder chooser: given its parent, title and starting folder, answers with the chosen
    // folder or an empty string when the user cancels.
    using Answer = std::function<void(const QString& folder)>;
    using FolderPicker =
        std::function<void(QWidget* parent, const QString& title, const QString& start, Answer answer)>;
    // Replaces the folder chooser (tests); an empty picker restores the default one. Returns
    // the picker in force before.
    static FolderPicker SetFolderPicker(FolderPicker picker);
    // The default: Qt's folder dialog, window-modal over parent; it answers once it is closed.
    static void RunFolderDialog(QWidget* parent, const QString& title, const QString& start, Answer answer);

    // Modifier flags between the settings file (Alt 1, Ctrl 2, Shift 4) and the hot key
    // control (Shift 1, Ctrl 2, Alt 4): Ctrl keeps its bit, Shift and Alt exchange theirs.
    // Flags without a counterpart (the control's extended-key flag, the file's Win key) drop.
    static unsigned ControlFromFileModifiers(unsigned fileModifiers);
    static unsigned FileFromControlModifiers(unsigned controlModifiers);

    // Runs the folder chooser; on a choice, chosen(the folder without a trailing separator).
    void BrowseForFolder(const QString& title, const std::function<void(const QString&)>& chosen);

    QString m_strSavePath; // the folder edit's text

    QRadioButton* m_btnTopmost = nullptr;
    QRadioButton* m_btnStandard = nullptr;
    QRadioButton* m_btnLongest = nullptr;
    QRadioButton* m_btnShortest = nullptr;
    QRadioButton* m_btnFrameSync = nullptr;
    QRadioButton* m_btnTimeSync = nullptr;
    std::array<CHotKeyCtrl*, 4> m_hotKey{}; // panes 1 to 4
    CHotKeyCtrl* m_hotKeyAll = nullptr;     // all four panes at one instant

protected:
    bool OnInitDialog() override;
    void OnOK() override;

    void LoadOptions();
    void SaveOptions();
    void OnBrowsePath();
    // true: the edit's text into m_strSavePath; false: m_strSavePath into the edit.
    void UpdateData(bool saveAndValidate);

private:
    void CreateControls();
    QRadioButton* AddRadio(int id, const char* text, int x, int y, int w, int h);
    // Checks one radio button of a pair and clears the other (the handlers of all six).
    static void CheckPair(QRadioButton* on, QRadioButton* off);

    QLineEdit* m_editSavePath = nullptr;
    CSettingsModel* m_settings = nullptr;

    static FolderPicker s_picker;
};
