#include "dialogs/COffsetDlg.h"

#include "dialogs/COffsetEdit.h"
#include "platform/MessageBox.h"
#include "uikit/CBCGPControlIds.h"
#include "uikit/Resource.h"

#include <QApplication>
#include <QLabel>
#include <QRegularExpression>
#include <QSpinBox>

#include <cmath>

namespace {

// The template is laid out in dialog units of a 9 pt CJK font: 6 x 12 pixel base units.
QRect dlu(int x, int y, int w, int h) {
    auto px = [](int v, int base, int div) { return (v * base + div / 2) / div; };
    return {px(x, 6, 4), px(y, 12, 8), px(w, 6, 4), px(h, 12, 8)};
}

// The frame count: a digit that would take it out of range is refused as typed, with a beep.
class CFramesEdit : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

protected:
    QValidator::State validate(QString& input, int& pos) const override {
        const QValidator::State state = QSpinBox::validate(input, pos);
        if (state == QValidator::Invalid) {
            QApplication::beep();
        }
        return state;
    }
};

} // namespace

COffsetDlg::COffsetDlg(double seconds, double frameRate, QWidget* parent)
    : CBCGPDialog(IDD_OFFSET, parent),
      m_dFrameRate(frameRate > 0.0 && std::isfinite(frameRate) ? frameRate : 25.0),
      m_dOffset(std::isfinite(seconds) ? seconds : 0.0) {
    setWindowTitle(QStringLiteral("设置时间偏移"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    QFont dialogFont(QStringLiteral("WenQuanYi Micro Hei"));
    dialogFont.setPixelSize(12);
    setFont(dialogFont);
    setFixedSize(dlu(0, 0, 187, 84).size());

    auto* timeLabel = new QLabel(QStringLiteral("时间偏移（±时:分:秒.毫秒）："), this);
    timeLabel->setGeometry(dlu(14, 12, 100, 10));
    m_editTime = new COffsetEdit(this);
    SetDlgCtrlID(m_editTime, IDC_OFFSET_TIME);
    m_editTime->setGeometry(dlu(14, 26, 90, 14));
    m_editTime->setAccessibleName(QStringLiteral("时间偏移"));
    timeLabel->setBuddy(m_editTime);

    auto* framesLabel = new QLabel(QStringLiteral("帧数："), this);
    framesLabel->setGeometry(dlu(14, 52, 24, 10));
    m_editFrames = new CFramesEdit(this);
    const int most = static_cast<int>(std::floor(kLongest * m_dFrameRate));
    m_editFrames->setRange(-most, most);
    SetDlgCtrlID(m_editFrames, IDC_OFFSET_FRAMES);
    m_editFrames->setGeometry(dlu(40, 50, 64, 14));
    m_editFrames->setAccessibleName(QStringLiteral("帧数"));
    framesLabel->setBuddy(m_editFrames);

    AddEndButton(IDOK, QStringLiteral("确定"), dlu(122, 24, 50, 14));
    AddEndButton(IDCANCEL, QStringLiteral("取消(&C)"), dlu(122, 48, 50, 14));

    m_editTime->SetTimeText(OffsetText(m_dOffset));
    m_editFrames->setValue(static_cast<int>(std::lround(m_dOffset * m_dFrameRate)));
    connect(m_editTime, &QLineEdit::textChanged, this, [this] { TimeEdited(); });
    connect(m_editFrames, &QSpinBox::valueChanged, this, [this] { FramesEdited(); });
    // Typing at once replaces the whole offset.
    m_editTime->setFocus();
    m_editTime->selectAll();
}

COffsetDlg::~COffsetDlg() = default;

QString COffsetDlg::OffsetText(double seconds) {
    if (!std::isfinite(seconds)) {
        seconds = 0.0;
    }
    const long long ms = std::llround(std::min(std::abs(seconds), 99.0 * 3600.0) * 1000.0);
    return QString::asprintf("%c%02lld:%02lld:%02lld.%03lld", seconds < 0.0 && ms > 0 ? '-' : '+',
                             ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
}

COffsetDlg::Reading COffsetDlg::ReadOffset(const QString& text, double& seconds) {
    static const QRegularExpression kForm(
        QStringLiteral("^([+-])(\\d{1,2}):(\\d{1,2}):(\\d{1,2})\\.(\\d{1,3})$"));
    const QRegularExpressionMatch m = kForm.match(text.trimmed());
    if (!m.hasMatch()) {
        return Reading::Unreadable;
    }
    const long long ms =
        (m.captured(2).toLongLong() * 3600 + m.captured(3).toLongLong() * 60 + m.captured(4).toLongLong()) *
            1000 +
        m.captured(5).leftJustified(3, QLatin1Char('0')).toLongLong();
    if (double(ms) / 1000.0 > kLongest) {
        return Reading::OutOfRange;
    }
    seconds = (m.captured(1) == QLatin1String("-") ? -1.0 : 1.0) * double(ms) / 1000.0;
    return Reading::Ok;
}

void COffsetDlg::TimeEdited() {
    if (m_bUpdating) {
        return;
    }
    double seconds = 0.0;
    if (ReadOffset(m_editTime->GetTimeText(), seconds) == Reading::Ok) {
        m_bUpdating = true;
        m_editFrames->setValue(static_cast<int>(std::lround(seconds * m_dFrameRate)));
        m_bUpdating = false;
    }
    m_bFromFrames = false;
}

void COffsetDlg::FramesEdited() {
    if (m_bUpdating) {
        return;
    }
    m_bUpdating = true;
    m_editTime->SetTimeText(OffsetText(m_editFrames->value() / m_dFrameRate));
    m_bUpdating = false;
    m_bFromFrames = true;
}

void COffsetDlg::OnOK() {
    double seconds = 0.0;
    if (m_bFromFrames) {
        seconds = m_editFrames->value() / m_dFrameRate;
    } else {
        switch (ReadOffset(m_editTime->GetTimeText(), seconds)) {
        case Reading::Ok:
            break;
        case Reading::Unreadable:
            ShowErrorBox(QStringLiteral("时间偏移格式错误!"));
            m_editTime->setFocus();
            return;
        case Reading::OutOfRange:
            ShowErrorBox(QStringLiteral("时间偏移不能超过±24小时!"));
            m_editTime->setFocus();
            return;
        }
    }
    m_dOffset = seconds;
    CBCGPDialog::OnOK();
}
