#include "platform/MessageBox.h"

#include "platform/FileName.h"
#include "platform/MessageBoxQueue.h"
#include "platform/MessageBoxRecorder.h"

#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QStringList>

QString ShownText(const QString& text, const QFontMetrics& metrics, int maxWidth, int maxLines) {
    QStringList lines = text.split(QLatin1Char('\n'));
    if (maxLines > 1 && lines.size() > maxLines) {
        const qsizetype more = lines.size() - (maxLines - 1);
        lines = lines.mid(0, maxLines - 1);
        lines << QStringLiteral("……以及另外 %1 项").arg(more);
    }
    for (QString& line : lines) {
        line = metrics.elidedText(line, Qt::ElideMiddle, maxWidth);
    }
    return lines.join(QLatin1Char('\n'));
}

void ShowMessageBox(const QString& text, const QString& caption, MsgIcon icon) {
    const QString title = caption.isEmpty() ? QStringLiteral("Tetrav") : caption;
    // Within the screen: two thirds of its width for the text, the rest for the icon and frame.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int maxWidth = screen != nullptr ? screen->availableGeometry().width() * 2 / 3 : 640;
    const QString shown = ShownText(text, QFontMetrics(QApplication::font("QMessageBox")), maxWidth);
    if (MessageBoxRecorder::record(text, title, icon, shown)) {
        return;
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
    MessageBoxQueue::Instance().Show([qicon, title, shown, text](QWidget* parent) {
        auto* box = new QMessageBox(qicon, title, shown, QMessageBox::Ok, parent);
        if (shown != text) {
            box->setDetailedText(text); // the whole text: every file, every path in full
        }
        return box;
    });
}

void AfterMessageBoxes(QObject* context, std::function<void()> then) {
    MessageBoxQueue::Instance().After(context, std::move(then));
}

void SetMessageBoxOwner(QWidget* owner) {
    MessageBoxQueue::Instance().SetOwner(owner);
}

void ShowErrorBox(const QString& text) {
    ShowMessageBox(text, QStringLiteral("错误"), MsgIcon::Error);
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
