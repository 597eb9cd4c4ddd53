#include "dialogs/CFileSelectDlg.h"

#include "dialogs/LastFolder.h"
#include "uikit/CBCGPControlIds.h"
#include "uikit/DialogUnits.h"
#include "uikit/Resource.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStringList>

namespace {

struct Slot {
    int editId;
    int buttonId;
    const char* label;
    const char* button;
    int labelY;
    int editY;
    int buttonY;
};

constexpr Slot kSlots[4] = {
    {IDC_FILE1, IDC_OPEN1, "第一个视频文件：", "打开(&A)", 18, 16, 15},
    {IDC_FILE2, IDC_OPEN2, "第二个视频文件：", "打开(&B)", 35, 32, 31},
    {IDC_FILE3, IDC_OPEN3, "第三个视频文件：", "打开(&C)", 52, 48, 47},
    {IDC_FILE4, IDC_OPEN4, "第四个视频文件：", "打开(&D)", 69, 64, 63},
};

// Video types the first filter covers: the classic seven, then today's containers.
constexpr const char* kFilter =
    "视频文件 (.mpeg;.avi;.mov;.m2t;.vob;.rm;.rmvb;.mp4;.mkv;.webm;.m4v;.ts;.wmv;.flv)|"
    "*.mpeg;*.avi;*.mov;*.m2t;*.vob;*.rm;*.rmvb;*.mp4;*.mkv;*.webm;*.m4v;*.ts;*.wmv;*.flv|"
    "mpeg视频文件 (*.mpeg)|*.mpeg|avi视频文件 (*.avi)|*.avi|mov视频文件 (*.mov)|*.mov|"
    "m2t视频文件 (*.m2t)|*.m2t|DVD视频文件 (*.vob)|*.vob|RM视频文件 (*.rm)|*.rm|"
    "RMVB视频文件 (*.rmvb)|*.rmvb|所有文件 (*.*)|*.*||";

CFileSelectDlg::FilePicker defaultPicker() {
    return &CFileSelectDlg::RunFileDialog;
}

} // namespace

CFileSelectDlg::FilePicker CFileSelectDlg::s_picker = defaultPicker();

CFileSelectDlg::CFileSelectDlg(QWidget* parent, const PathList& paths)
    : CBCGPDialog(IDD_FILESELECT, parent), m_paths(paths), m_pathsAtOpen(paths) {
    CreateControls();
}

CFileSelectDlg::~CFileSelectDlg() = default;

void CFileSelectDlg::CreateControls() {
    setWindowTitle(QStringLiteral("选择播放文件"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFont(dlu::DialogFont());
    setFixedSize(dlu::Size(263, 130));

    QPushButton* ok = AddEndButton(IDOK, QStringLiteral("确定(&O)"), dlu::Rect(69, 106, 50, 14));
    QPushButton* cancel = AddEndButton(IDCANCEL, QStringLiteral("放弃(&C)"), dlu::Rect(144, 106, 50, 14));

    auto* group = new QGroupBox(this);
    group->setGeometry(dlu::Rect(7, 6, 249, 79));
    group->lower();

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    QRect lineRect = dlu::Rect(7, 96, 249, 1);
    lineRect.setHeight(2); // a sunken line needs its dark and its light row
    line->setGeometry(lineRect);

    // The boxes show their path in black on white, read-only or not.
    QPalette boxPalette = palette();
    for (auto colorGroup : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        boxPalette.setColor(colorGroup, QPalette::Base, Qt::white);
        boxPalette.setColor(colorGroup, QPalette::Text, Qt::black);
    }

    for (int i = 0; i < 4; ++i) {
        const Slot& s = kSlots[i];
        const QString labelText = QString::fromUtf8(s.label);
        auto* label = new QLabel(labelText, this);
        label->setGeometry(dlu::Rect(16, s.labelY, 65, 10));

        auto* edit = new QLineEdit(this);
        SetDlgCtrlID(edit, s.editId);
        edit->setReadOnly(true);
        edit->setPalette(boxPalette);
        edit->setAutoFillBackground(true);
        edit->setGeometry(dlu::Rect(81, s.editY, 130, 14));
        edit->setAccessibleName(labelText.chopped(1)); // without the full-width colon
        label->setBuddy(edit);
        m_edits[i] = edit;

        auto* open = new QPushButton(QString::fromUtf8(s.button), this);
        SetDlgCtrlID(open, s.buttonId);
        open->setGeometry(dlu::Rect(213, s.buttonY, 35, 14));
        // A focused Open button is the one Enter presses, as a focused push button is the
        // default one; OK is the default again once the focus leaves it.
        open->setAutoDefault(true);
        connect(open, &QPushButton::clicked, this, [this, i] { OnPickFile(i); });
        m_openButtons[i] = open;
    }
    // Tab order follows the template: OK, Cancel, then each box with its button.
    QWidget* previous = cancel;
    setTabOrder(ok, cancel);
    for (int i = 0; i < 4; ++i) {
        setTabOrder(previous, m_edits[i]);
        setTabOrder(m_edits[i], m_openButtons[i]);
        previous = m_openButtons[i];
    }
}

void CFileSelectDlg::BeforeShow() {
    m_pathsAtOpen = m_paths;
}

void CFileSelectDlg::OnCancel() {
    m_paths = m_pathsAtOpen;
    CBCGPDialog::OnCancel();
}

void CFileSelectDlg::reject() {
    OnCancel();
}

QString* CFileSelectDlg::member(int slot) {
    QString* members[4] = {&m_strFile1, &m_strFile2, &m_strFile3, &m_strFile4};
    return members[slot];
}

void CFileSelectDlg::UpdateData(bool saveAndValidate) {
    for (int i = 0; i < 4; ++i) {
        if (saveAndValidate) {
            *member(i) = m_edits[i]->text();
        } else {
            m_edits[i]->setText(*member(i));
            m_edits[i]->setCursorPosition(0);
        }
    }
}

void CFileSelectDlg::OnPickFile(int slot) {
    s_picker(this, ToQtFilter(FilterString()),
             [self = QPointer<CFileSelectDlg>(this), slot](const QString& path) {
                 if (self != nullptr) {
                     self->Picked(slot, path);
                 }
             });
}

void CFileSelectDlg::Picked(int slot, const QString& picked) {
    if (picked.isEmpty()) {
        m_paths[std::size_t(slot)].clear(); // the box keeps showing the previous pick
        return;
    }
    const QString path = QFileInfo(picked).absoluteFilePath();
    UpdateData(true);
    m_paths[std::size_t(slot)] = path;
    *member(slot) = path;
    UpdateData(false);
}

CFileSelectDlg::FilePicker CFileSelectDlg::SetFilePicker(FilePicker picker) {
    FilePicker previous = std::move(s_picker);
    s_picker = picker ? std::move(picker) : defaultPicker();
    return previous;
}

void CFileSelectDlg::RunFileDialog(QWidget* parent, const QString& filter, Answer answer) {
    auto* dialog = new QFileDialog(parent, QStringLiteral("打开"), LastFolder::Get(), filter);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->selectNameFilter(filter.section(QStringLiteral(";;"), 0, 0));
    QObject::connect(dialog, &QFileDialog::finished, dialog,
                     [dialog, answer = std::move(answer)](int result) {
                         const QStringList files = dialog->selectedFiles();
                         const QString picked =
                             result == QDialog::Accepted && !files.isEmpty() ? files.constFirst() : QString();
                         LastFolder::Remember(picked);
                         answer(picked);
                     });
    dialog->open();
}

QString CFileSelectDlg::FilterString() {
    return QString::fromUtf8(kFilter);
}

QString CFileSelectDlg::ToQtFilter(const QString& classicFilter) {
    // "description|p1;p2|...||" -> "description (p1 p2);;...". Qt takes a filter's patterns
    // from the parentheses at the end of its text, separated by spaces. "*.*" means every file
    // on Windows but only names with a dot here, so it becomes "*".
    QStringList parts = classicFilter.split(QLatin1Char('|'));
    while (!parts.isEmpty() && parts.last().isEmpty()) {
        parts.removeLast();
    }
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& p : patterns) {
            p = p.trimmed();
            if (p == QLatin1String("*.*")) {
                p = QStringLiteral("*");
            }
        }
        QString description = parts[i];
        const qsizetype paren = description.lastIndexOf(QLatin1Char('('));
        if (paren >= 0 && description.endsWith(QLatin1Char(')'))) {
            description.truncate(paren);
        }
        description = description.trimmed();
        filters << QStringLiteral("%1 (%2)").arg(description, patterns.join(QLatin1Char(' ')));
    }
    return filters.join(QStringLiteral(";;"));
}
