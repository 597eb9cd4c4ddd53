#pragma once
// The About box "关于Tetrav": a gradient banner, the program's icon, name and version, a notice
// line, a button that opens the support page, a thin gradient rule and OK.
#include "uikit/CBCGPDialog.h"

class CGradientButton;

class CAboutDlg : public CBCGPDialog {
    Q_OBJECT
public:
    // The version the box shows (and tetrav --version prints).
    static constexpr const char* kVersion = "1.3.2.1121";

    explicit CAboutDlg(QWidget* parent = nullptr);
    ~CAboutDlg() override;

    CGradientButton* m_btnBanner = nullptr; // 1016
    CGradientButton* m_btnRule = nullptr;   // 1010

protected:
    void OnTechSupport();

private:
    void CreateControls();
};
