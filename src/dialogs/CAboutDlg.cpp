#include "dialogs/CAboutDlg.h"

#include "dialogs/CGradientButton.h"
#include "dialogs/HelpLauncher.h"
#include "uikit/CBCGPControlIds.h"
#include "uikit/DialogUnits.h"
#include "uikit/Resource.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

CAboutDlg::CAboutDlg(QWidget* parent) : CBCGPDialog(IDD_ABOUTBOX, parent) {
    CreateControls();
}

CAboutDlg::~CAboutDlg() = default;

void CAboutDlg::CreateControls() {
    setWindowTitle(QStringLiteral("关于Tetrav"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFont(dlu::DialogFont());
    setFixedSize(dlu::Size(235, 134));

    m_btnBanner = new CGradientButton(this);
    m_btnBanner->setText(QStringLiteral("..."));
    SetDlgCtrlID(m_btnBanner, IDC_BANNER);
    m_btnBanner->setGeometry(dlu::Rect(0, 0, 235, 26));
    m_btnBanner->setAccessibleName(QStringLiteral("横幅"));

    m_btnRule = new CGradientButton(this);
    m_btnRule->setText(QStringLiteral("1")); // below the rule's visible height
    SetDlgCtrlID(m_btnRule, IDC_RULE);
    m_btnRule->setGeometry(dlu::Rect(11, 102, 213, 6));
    m_btnRule->setAccessibleName(QStringLiteral("分隔线"));

    auto* icon = new QLabel(this);
    const QRect iconRect = dlu::Rect(18, 52, 20, 20);
    icon->setGeometry(iconRect.x(), iconRect.y(), 32, 32); // an icon control takes the icon's size
    icon->setPixmap(QIcon(QStringLiteral(":/res/icons/%1.png").arg(IDR_MAINFRAME)).pixmap(32, 32));
    icon->setAccessibleName(QStringLiteral("Tetrav 图标"));

    auto* version = new QLabel(QStringLiteral("Tetrav  V%1").arg(QLatin1String(kVersion)), this);
    version->setGeometry(dlu::Rect(71, 39, 145, 12));
    auto* notice = new QLabel(QStringLiteral("四路视频同步播放。"), this);
    notice->setGeometry(dlu::Rect(71, 59, 109, 11));

    auto* support = new QPushButton(QStringLiteral("更多技术支持(&H)"), this);
    SetDlgCtrlID(support, IDC_SUPPORT);
    support->setGeometry(dlu::Rect(71, 78, 106, 14));
    support->setAutoDefault(false);
    connect(support, &QPushButton::clicked, this, [this] { OnTechSupport(); });

    AddEndButton(IDOK, QStringLiteral("确定 "), dlu::Rect(92, 115, 50, 14));
}

void CAboutDlg::OnTechSupport() {
    HelpLauncher::OpenSupportPage();
}
