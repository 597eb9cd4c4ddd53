#include "settings/COptionsDlg.h"

#include "platform/MessageBox.h"
#include "settings/CSettings.h"
#include "settings/CSettingsFile.h"
#include "settings/CSettingsModel.h"
#include "uikit/CBCGPControlIds.h"
#include "uikit/CHotKeyCtrl.h"
#include "uikit/DialogUnits.h"
#include "uikit/Resource.h"

#include <QButtonGroup>
#include <QDir>
#include <QFileDialog>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>

namespace {

const char* const kHotKeyLabels[4] = {"视频一快捷键：", "视频二快捷键：", "视频三快捷键：", "视频四快捷键："};
constexpr int kHotKeyIds[4] = {IDC_HOTKEY1, IDC_HOTKEY2, IDC_HOTKEY3, IDC_HOTKEY4};
constexpr int kHotKeyLabelY[4] = {100, 119, 138, 157};
constexpr int kHotKeyY[4] = {98, 116, 134, 152};

COptionsDlg::FolderPicker defaultPicker() {
    return &COptionsDlg::RunFolderDialog;
}

QString ReadOption(const char* section, const char* key) {
    return CSettingsFile::ReadEntry(QString::fromLatin1(section), QString::fromLatin1(key));
}

void AddGroup(QWidget* parent, const char* title, int x, int y, int w, int h) {
    auto* group = new QGroupBox(QString::fromUtf8(title), parent);
    group->setGeometry(dlu::Rect(x, y, w, h));
    group->lower();
}

} // namespace

COptionsDlg::FolderPicker COptionsDlg::s_picker = defaultPicker();

COptionsDlg::COptionsDlg(QWidget* parent, CSettingsModel* settings)
    : CBCGPDialog(IDD_OPTIONS, parent), m_settings(settings) {
    CreateControls();
}

COptionsDlg::~COptionsDlg() = default;

QRadioButton* COptionsDlg::AddRadio(int id, const char* text, int x, int y, int w, int h) {
    auto* radio = new QRadioButton(QString::fromUtf8(text), this);
    SetDlgCtrlID(radio, id);
    radio->setGeometry(dlu::Rect(x, y, w, h));
    // Each radio button starts a group of its own, so nothing clears its partner for it; the
    // handlers keep each pair exclusive. (A group of one that is not exclusive, rather than no
    // auto-exclusion, keeps the button a radio button for screen readers.)
    auto* group = new QButtonGroup(this);
    group->setExclusive(false);
    group->addButton(radio);
    return radio;
}

void COptionsDlg::CreateControls() {
    setWindowTitle(QStringLiteral("选择"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFont(dlu::DialogFont());
    // Taller than the classic 223 units by one hot key row (19 units).
    setFixedSize(dlu::Size(310, 242));

    auto* banner = new QLabel(this);
    banner->setGeometry(dlu::Rect(0, 0, 134, 31));
    banner->setPixmap(QPixmap(QStringLiteral(":/res/bitmaps/%1.bmp").arg(IDB_OPTIONS_BANNER)));
    banner->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    banner->setAccessibleName(QStringLiteral("Tetrav 选项"));

    // Controls in the order of the template, which is also the tab order.
    AddGroup(this, "抓图保存位置", 140, 35, 163, 40);
    m_editSavePath = new QLineEdit(this);
    SetDlgCtrlID(m_editSavePath, IDC_SAVE_PATH);
    m_editSavePath->setReadOnly(true);
    m_editSavePath->setGeometry(dlu::Rect(145, 51, 126, 14));
    m_editSavePath->setAccessibleName(QStringLiteral("抓图保存位置"));
    // The read-only folder edit shows black on white instead of the grey of read-only edits.
    QPalette white = m_editSavePath->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        white.setColor(group, QPalette::Base, Qt::white);
        white.setColor(group, QPalette::Text, Qt::black);
    }
    m_editSavePath->setPalette(white);
    m_editSavePath->setAutoFillBackground(true);

    auto* browse = new QPushButton(QStringLiteral("选择"), this);
    SetDlgCtrlID(browse, IDC_BROWSE_PATH);
    browse->setGeometry(dlu::Rect(272, 51, 27, 14));
    browse->setAutoDefault(false);
    connect(browse, &QPushButton::clicked, this, [this] { OnBrowsePath(); });

    AddGroup(this, "同步选项", 8, 35, 128, 40);
    m_btnFrameSync = AddRadio(IDC_FRAME_SYNC, "帧同步", 19, 53, 40, 11);
    m_btnTimeSync = AddRadio(IDC_TIME_SYNC, "时间同步", 75, 53, 49, 13);
    AddGroup(this, "播放基准", 8, 84, 128, 40);
    m_btnShortest = AddRadio(IDC_SHORTEST, "最短视频", 19, 101, 47, 14);
    m_btnLongest = AddRadio(IDC_LONGEST, "最长视频", 75, 101, 60, 12);
    AddGroup(this, "显示模式", 8, 133, 128, 40);
    m_btnTopmost = AddRadio(IDC_TOPMOST, "最前显示", 19, 150, 51, 14);
    m_btnStandard = AddRadio(IDC_STANDARD, "标准显示", 75, 150, 49, 14);
    const std::pair<QRadioButton*, QRadioButton*> pairs[3] = {
        {m_btnFrameSync, m_btnTimeSync}, {m_btnShortest, m_btnLongest}, {m_btnTopmost, m_btnStandard}};
    // The handlers follow every way a button changes (mouse, keyboard, screen reader): the
    // button checked clears its partner, and a button cannot be cleared on its own.
    for (const auto& [first, second] : pairs) {
        for (auto [self, partner] : {std::pair{first, second}, std::pair{second, first}}) {
            connect(self, &QRadioButton::toggled, this, [self = self, partner = partner](bool on) {
                if (on) {
                    CheckPair(self, partner);
                } else if (!partner->isChecked()) {
                    self->setChecked(true);
                }
            });
        }
    }

    AddGroup(this, "抓图设置", 140, 84, 163, 107);
    const auto addHotKey = [this](const char* text, int id, int labelY, int y) {
        const QString labelText = QString::fromUtf8(text);
        auto* label = new QLabel(labelText, this);
        label->setGeometry(dlu::Rect(153, labelY, 57, 12));
        auto* control = new CHotKeyCtrl(this);
        SetDlgCtrlID(control, id);
        control->setGeometry(dlu::Rect(212, y, 80, 14));
        control->setAccessibleName(labelText.chopped(1)); // without the full-width colon
        label->setBuddy(control);
        return control;
    };
    for (int n = 0; n < 4; ++n) {
        m_hotKey[n] = addHotKey(kHotKeyLabels[n], kHotKeyIds[n], kHotKeyLabelY[n], kHotKeyY[n]);
    }
    m_hotKeyAll = addHotKey("全部快捷键：", IDC_HOTKEY5, 176, 170);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(dlu::Rect(7, 204, 296, 2));
    line->setAccessibleName(QStringLiteral("分隔线"));

    AddEndButton(IDOK, QStringLiteral("确定(&O)"), dlu::Rect(71, 215, 50, 14));
    AddEndButton(IDCANCEL, QStringLiteral("放弃(&C)"), dlu::Rect(187, 215, 50, 14))->setAutoDefault(false);
}

void COptionsDlg::CheckPair(QRadioButton* on, QRadioButton* off) {
    on->setChecked(true);
    off->setChecked(false);
}

bool COptionsDlg::OnInitDialog() {
    CBCGPDialog::OnInitDialog();
    LoadOptions();
    return true;
}

void COptionsDlg::OnOK() {
    SaveOptions();
    CBCGPDialog::OnOK();
}

unsigned COptionsDlg::ControlFromFileModifiers(unsigned file) {
    unsigned control = 0;
    if (file & MOD_ALT) {
        control |= CHotKeyCtrl::HOTKEYF_ALT;
    }
    if (file & MOD_CONTROL) {
        control |= CHotKeyCtrl::HOTKEYF_CONTROL;
    }
    if (file & MOD_SHIFT) {
        control |= CHotKeyCtrl::HOTKEYF_SHIFT;
    }
    return control;
}

unsigned COptionsDlg::FileFromControlModifiers(unsigned control) {
    unsigned file = 0;
    if (control & CHotKeyCtrl::HOTKEYF_ALT) {
        file |= MOD_ALT;
    }
    if (control & CHotKeyCtrl::HOTKEYF_CONTROL) {
        file |= MOD_CONTROL;
    }
    if (control & CHotKeyCtrl::HOTKEYF_SHIFT) {
        file |= MOD_SHIFT;
    }
    return file;
}

void COptionsDlg::UpdateData(bool saveAndValidate) {
    if (saveAndValidate) {
        m_strSavePath = m_editSavePath->text();
    } else {
        m_editSavePath->setText(m_strSavePath);
        m_editSavePath->setCursorPosition(0);
    }
}

void COptionsDlg::LoadOptions() {
    UpdateData(true);
    // The file's values, not the record's: any value but 0 selects the first button of a pair.
    const struct {
        const char* section;
        const char* key;
        QRadioButton* first;
        QRadioButton* second;
    } pairs[3] = {{"FramePhase", "FramePhaseNumber", m_btnFrameSync, m_btnTimeSync},
                  {"MiniVideo", "MiniVideoNumber", m_btnShortest, m_btnLongest},
                  {"ForeView", "ForeViewNumber", m_btnTopmost, m_btnStandard}};
    for (const auto& p : pairs) {
        if (CSettingsFile::Atoi(ReadOption(p.section, p.key)) != 0) {
            CheckPair(p.first, p.second);
        } else {
            CheckPair(p.second, p.first);
        }
    }
    m_strSavePath = CSettingsFile::ReadSnapshotFolder();
    for (int n = 0; n < 4; ++n) {
        const unsigned vk = unsigned(CSettingsFile::Atoi(CSettingsFile::ReadEntry(
            CSettingsFile::VirtualCodeSection(n), QStringLiteral("VirtualCodeNumber"))));
        const unsigned mods = unsigned(CSettingsFile::Atoi(
            CSettingsFile::ReadEntry(CSettingsFile::ModifiersSection(n), QStringLiteral("ModifiersNumber"))));
        m_hotKey[n]->SetHotKeyWord((vk & 0xFFu) | (ControlFromFileModifiers(mods) << 8));
    }
    const HotKeySetting all = CSettingsFile::ReadCaptureAllKey();
    m_hotKeyAll->SetHotKeyWord((all.virtualKey & 0xFFu) | (ControlFromFileModifiers(all.modifiers) << 8));
    UpdateData(false);
}

void COptionsDlg::SaveOptions() {
    UpdateData(true);
    CSettings values = g_settings;
    values.FramePhase = m_btnFrameSync->isChecked() ? 1 : 0;
    values.MiniVideo = m_btnShortest->isChecked() ? 1 : 0;
    values.ForeView = m_btnTopmost->isChecked() ? 1 : 0;
    values.SaveMapPath = m_strSavePath;
    if (m_settings) {
        m_settings->Store(values); // what a saved set or the command line set for this run stays
    } else {
        g_settings = values;
    }
    HotKeySetting keys[4];
    for (int n = 0; n < 4; ++n) {
        unsigned vk = 0;
        unsigned mods = 0;
        m_hotKey[n]->GetHotKey(vk, mods);
        keys[n] = {vk, FileFromControlModifiers(mods)};
    }
    QString why;
    bool written = CSettingsFile::Write(values, keys, &why);
    // A file from before the fifth hot key gets its sections only when the key was changed.
    unsigned vk = 0;
    unsigned mods = 0;
    m_hotKeyAll->GetHotKey(vk, mods);
    const HotKeySetting all{vk, FileFromControlModifiers(mods)};
    if (CSettingsFile::HasCaptureAllKey() || all != CSettingsFile::ReadCaptureAllKey()) {
        // Tried even when the first write failed: the key is then kept for this run.
        written = CSettingsFile::WriteCaptureAllKey(all, why.isEmpty() ? &why : nullptr) && written;
    }
    if (!written) {
        // The values stay in force for this run (the settings file keeps them in memory).
        ShowErrorBox(FileFailure(QStringLiteral("保存设置错误!"), CSettingsFile::FilePath(), why));
    }
    UpdateData(false);
}

void COptionsDlg::OnBrowsePath() {
    UpdateData(true);
    BrowseForFolder(QStringLiteral("请选择截图保存的目录"), [this](const QString& path) {
        UpdateData(true); // what was typed meanwhile stays
        m_strSavePath = path;
        UpdateData(false);
    });
}

void COptionsDlg::BrowseForFolder(const QString& title, const std::function<void(const QString&)>& chosen) {
    s_picker(this, title, m_strSavePath, [self = QPointer<COptionsDlg>(this), chosen](const QString& answer) {
        if (self == nullptr || answer.isEmpty()) {
            return;
        }
        QString folder = QDir::cleanPath(QDir::fromNativeSeparators(answer));
        while (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) {
            folder.chop(1);
        }
        chosen(QDir::toNativeSeparators(folder));
    });
}

COptionsDlg::FolderPicker COptionsDlg::SetFolderPicker(FolderPicker picker) {
    FolderPicker previous = std::move(s_picker);
    s_picker = picker ? std::move(picker) : defaultPicker();
    return previous;
}

void COptionsDlg::RunFolderDialog(QWidget* parent, const QString& title, const QString& start,
                                  Answer answer) {
    auto* dialog = new QFileDialog(parent, title, start);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    QObject::connect(
        dialog, &QFileDialog::finished, dialog, [dialog, answer = std::move(answer)](int result) {
            const QStringList chosen = dialog->selectedFiles();
            answer(result == QDialog::Accepted && !chosen.isEmpty() ? chosen.constFirst() : QString());
        });
    dialog->open();
}
