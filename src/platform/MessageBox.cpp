#include "platform/MessageBox.h"

#include "platform/FileName.h"
#include "platform/MessageBoxRecorder.h"
#include "uikit/Resource.h"

#include <QDir>
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

QString PaneTitle(int channel) {
    static const char* const kTitles[4] = {"视频一", "视频二", "视频三", "视频四"};
    return (channel >= 0 && channel < 4) ? QString::fromUtf8(kTitles[channel]) : QString();
}

QString FileLine(int channel, const QString& path) {
    const QString shown = FileName::Shown(path);
    const QString pane = PaneTitle(channel);
    return pane.isEmpty() ? shown : pane + QStringLiteral("：") + shown;
}

QString WithSecondLine(const QString& text, const QString& line) {
    // The detector's texts end with their own line break.
    return text.endsWith(QLatin1Char('\n')) ? text + line : text + QLatin1Char('\n') + line;
}

QString FileFailure(const QString& text, const QString& path, const QString& reason) {
    QString out = text + QLatin1Char('\n') + FileName::Shown(path);
    return reason.isEmpty() ? out : out + QLatin1Char('\n') + reason;
}
