#pragma once
// Base of every dialog: a modal QDialog that ends with IDOK or IDCANCEL, with the
// classic initialisation hook (OnInitDialog runs once, before the dialog is first shown) and
// the XP look. Enter presses the focused push button, elsewhere it ends the dialog with IDOK;
// Escape ends it with IDCANCEL, like the classic dialog manager, unless the subclass overrides
// OnOK/OnCancel.
#include <QDialog>

#include <functional>

class QPushButton;

class CBCGPDialog : public QDialog {
    Q_OBJECT
public:
    explicit CBCGPDialog(int templateId, QWidget* parent = nullptr);
    ~CBCGPDialog() override;

    int templateId() const { return m_templateId; }

    // Runs the dialog modally in an event loop of its own: IDOK (1) or IDCANCEL (2). Only for a
    // program's top-level window; a dialog over it opens with Open.
    virtual int DoModal();
    // Shows the dialog window-modal over its parent and returns at once; once it has ended,
    // then(IDOK or IDCANCEL) runs and the dialog deletes itself (make it with new).
    void Open(std::function<void(int result)> then = {});
    void EndDialog(int result);

protected:
    // The dialog's own initialisation; the base applies the visual manager. Return value kept
    // for the classic contract (TRUE = default focus).
    virtual bool OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    // Each time the dialog is about to run (DoModal, Open).
    virtual void BeforeShow() {}

    void EnableVisualManagerStyle(bool enable);
    // The dialog's IDOK (the default button, running OnOK) or IDCANCEL button (running
    // OnCancel), with its text, at rect.
    QPushButton* AddEndButton(int id, const QString& text, const QRect& rect);

    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void done(int r) override;

private:
    void ensureInitialised();

    int m_templateId;
    bool m_initialised = false;
    int m_result = 2; // IDCANCEL
};
