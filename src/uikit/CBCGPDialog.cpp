#include "uikit/CBCGPDialog.h"

#include "uikit/CBCGPControlIds.h"
#include "uikit/CBCGPWinXPVisualManager.h"
#include "uikit/Resource.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>

CBCGPDialog::CBCGPDialog(int templateId, QWidget* parent) : QDialog(parent), m_templateId(templateId) {}

CBCGPDialog::~CBCGPDialog() = default;

int CBCGPDialog::DoModal() {
    ensureInitialised();
    BeforeShow();
    m_result = IDCANCEL;
    exec();
    return m_result;
}

void CBCGPDialog::Open(std::function<void(int result)> then) {
    ensureInitialised();
    BeforeShow();
    m_result = IDCANCEL;
    connect(
        this, &QDialog::finished, this,
        [this, then = std::move(then)] {
            deleteLater();
            if (then) {
                then(m_result);
            }
        },
        Qt::SingleShotConnection);
    open();
}

void CBCGPDialog::EndDialog(int result) {
    m_result = result;
    QDialog::done(result == IDOK ? QDialog::Accepted : QDialog::Rejected);
}

bool CBCGPDialog::OnInitDialog() {
    CBCGPWinXPVisualManager::SetDefaultManager();
    EnableVisualManagerStyle(true);
    return true;
}

void CBCGPDialog::OnOK() {
    EndDialog(IDOK);
}

void CBCGPDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

QPushButton* CBCGPDialog::AddEndButton(int id, const QString& text, const QRect& rect) {
    auto* button = new QPushButton(text, this);
    SetDlgCtrlID(button, id);
    button->setGeometry(rect);
    if (id == IDOK) {
        button->setDefault(true);
        connect(button, &QPushButton::clicked, this, [this] { OnOK(); });
    } else {
        connect(button, &QPushButton::clicked, this, [this] { OnCancel(); });
    }
    return button;
}

void CBCGPDialog::EnableVisualManagerStyle(bool enable) {
    CBCGPWinXPVisualManager::EnableVisualManagerStyle(this, enable);
}

void CBCGPDialog::ensureInitialised() {
    if (!m_initialised) {
        m_initialised = true;
        OnInitDialog();
    }
}

void CBCGPDialog::showEvent(QShowEvent* event) {
    ensureInitialised();
    QDialog::showEvent(event);
}

void CBCGPDialog::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // As the classic dialog manager: Enter presses the focused push button (it is the
            // default while it has the focus), else the dialog's default, OK.
            if (auto* focused = qobject_cast<QPushButton*>(focusWidget());
                focused != nullptr && focused->isEnabled() && focused->isVisible()) {
                focused->click();
                return;
            }
            OnOK();
            return;
        case Qt::Key_Escape:
            OnCancel();
            return;
        default:
            break;
        }
    }
    QDialog::keyPressEvent(event);
}

void CBCGPDialog::closeEvent(QCloseEvent* event) {
    // The close box and Alt+F4 act as Cancel.
    event->ignore();
    OnCancel();
}

void CBCGPDialog::done(int r) {
    // QDialog::accept()/reject() from Qt's own paths end the dialog the classic way.
    m_result = (r == QDialog::Accepted || r == IDOK) ? IDOK : IDCANCEL;
    QDialog::done(r);
}
