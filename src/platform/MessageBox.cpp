#include "platform/MessageBox.h"

#include "uikit/Resource.h"
#include "platform/MessageBoxRecorder.h"

#include <QMessageBox>

int ShowMessageBox(const QString& text, const QString& caption, MsgIcon icon) {
    const QString title = caption.isEmpty() ? QStringLiteral("Tetrav") : caption;
    if (MessageBoxRecorder::record(text, title, icon)) {
        return IDOK;
    }
    QMessageBox::Icon qicon = QMessageBox::NoIcon;
    switch (icon) {
    case MsgIcon::Error:
        qicon = QMessageBox::Critical;
        break;
    case MsgIcon::Warning:
        qicon = QMessageBox::Warning;
        break;
    case MsgIcon::Information:
        qicon = QMessageBox::Information;
        break;
    case MsgIcon::None:
        break;
    }
    QMessageBox box(qicon, title, text, QMessageBox::Ok);
    box.exec();
    return IDOK;
}

int ShowErrorBox(const QString& text) {
    return ShowMessageBox(text, QStringLiteral("错误"), MsgIcon::Error);
}
