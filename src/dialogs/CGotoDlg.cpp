#include "dialogs/CGotoDlg.h"

#include "dialogs/CTimeEdit.h"
#include "dialogs/GotoPosition.h"
#include "uikit/CBCGPControlIds.h"
#include "uikit/Resource.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>

namespace {

// The template is laid out in dialog units of a 9 pt CJK font: 6 x 12 pixel base units.
QRect dlu(int x, int y, int w, int h) {
    auto px = [](int v, int base, int div) { return (v * base + div / 2) / div; };
    return {px(x, 6, 4), px(y, 12, 8), px(w, 6, 4), px(h, 12, 8)};
}

// The number the leading digits of text spell, as atoi reads it (at most nine digits).
long long LeadingNumber(const QString& text) {
    long long n = 0;
    for (int i = 0; i < text.size() && i < 9 && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9');
         ++i) {
        n = n * 10 + (text[i].unicode() - u'0');
    }
    return n;
}

constexpr unsigned kLongestPrefill = 99u * 3600u + 59u * 60u + 59u;

} // namespace

CGotoDlg::CGotoDlg(QWidget* parent) : CBCGPDialog(IDD_GOTO, parent) {
    setWindowTitle(QStringLiteral("跳至..."));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    QFont dialogFont(QStringLiteral("WenQuanYi Micro Hei"));
    dialogFont.setPixelSize(12);
    setFont(dialogFont);
    setFixedSize(dlu(0, 0, 187, 74).size());

    auto* label = new QLabel(QStringLiteral("请正确填写时间："), this);
    label->setGeometry(dlu(21, 18, 65, 10));
    m_editTime = new CTimeEdit(this);
    SetDlgCtrlID(m_editTime, IDC_GOTO_TIME);
    m_editTime->setGeometry(dlu(21, 39, 80, 14));
    m_editTime->setAccessibleName(QStringLiteral("时间"));
    label->setBuddy(m_editTime);

    AddEndButton(IDOK, QStringLiteral("跳至(&T)"), dlu(118, 15, 50, 14));
    AddEndButton(IDCANCEL, QStringLiteral("取消(&C)"), dlu(118, 41, 50, 14));
    m_editTime->setFocus();
}

CGotoDlg::~CGotoDlg() = default;

QString CGotoDlg::TimeText(double seconds) {
    // Truncated toward zero to whole seconds; NaN and negative positions are the start.
    unsigned secs = 0;
    if (seconds >= static_cast<double>(kLongestPrefill)) {
        secs = kLongestPrefill;
    } else if (seconds > 0.0) {
        secs = static_cast<unsigned>(seconds);
    }
    return QString::asprintf("%02u:%02u:%02u", secs / 3600u, secs % 3600u / 60u, secs % 3600u % 60u);
}

void CGotoDlg::SplitString(const QString& text, const QString& separator, QStringList& parts) {
    parts.clear();
    if (separator.isEmpty()) {
        parts << text;
        return;
    }
    parts = text.split(separator.at(0));
}

long long CGotoDlg::SecondsOf(const QString& text) {
    QStringList parts;
    SplitString(text.trimmed(), QStringLiteral(":"), parts);
    static const long long kUnit[3] = {3600, 60, 1};
    long long total = 0;
    for (int i = 0; i < 3 && i < parts.size(); ++i) {
        total += LeadingNumber(parts[i]) * kUnit[i];
    }
    return total;
}

bool CGotoDlg::OnInitDialog() {
    CBCGPDialog::OnInitDialog();
    m_editTime->SetTimeText(TimeText(g_dSyncSecs));
    m_editTime->setFocus();
    m_editTime->setCursorPosition(0);
    return true;
}

void CGotoDlg::OnOK() {
    g_dGotoSecs = static_cast<double>(SecondsOf(m_editTime->GetTimeText()));
    // Sent, not posted: every channel has its seek before the dialog closes.
    if (QWidget* mainWindow = g_hMainWnd.data()) {
        QEvent gotoPosition(static_cast<QEvent::Type>(QEvent::User + WM_GOTO_POSITION));
        QCoreApplication::sendEvent(mainWindow, &gotoPosition);
    }
    CBCGPDialog::OnOK();
}
