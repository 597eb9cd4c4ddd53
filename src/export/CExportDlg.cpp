#include "export/CExportDlg.h"

#include "platform/FileName.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QString Text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// "<folder of the reference>/<its name>-导出.mp4"
QString DefaultFile(const QString& reference) {
    const qsizetype slash = reference.lastIndexOf(QLatin1Char('/'));
    QString name = reference.mid(slash + 1);
    if (const qsizetype dot = name.lastIndexOf(QLatin1Char('.')); dot > 0) {
        name.truncate(dot);
    }
    const QString folder = slash >= 0 ? reference.left(slash + 1) : QString();
    return folder + name + Text("-导出.mp4");
}

} // namespace

CExportDlg::CExportDlg(const ExportJob& set, double length, double in, double out, QWidget* parent)
    : CBCGPDialog(kTemplateId, parent), m_set(set), m_length(length), m_in(in), m_out(out) {
    setWindowTitle(Text("导出视频"));
    m_task = new CExportTask(this);
    connect(m_task, &CExportTask::progress, this, [this](qint64 done, qint64 total) {
        m_progress->setMaximum(int(total));
        m_progress->setValue(int(done));
    });
    connect(m_task, &CExportTask::finished, this, &CExportDlg::Ended);

    auto* form = new QFormLayout;
    const bool marked = in >= 0.0 && out > in;
    m_marks = new QRadioButton(
        marked ? Text("入点到出点（%1 - %2）").arg(CExporter::TimeText(in), CExporter::TimeText(out))
               : Text("入点到出点（未设置）"),
        this);
    m_whole = new QRadioButton(Text("整个参考视频（%1）").arg(CExporter::TimeText(length)), this);
    m_marks->setEnabled(marked);
    (marked ? m_marks : m_whole)->setChecked(true);
    auto* interval = new QVBoxLayout;
    interval->addWidget(m_marks);
    interval->addWidget(m_whole);
    form->addRow(Text("区间："), interval);

    m_size = new QComboBox(this);
    m_size->addItem(Text("参考画面的两倍（最大 3840x2160）"), QSize());
    m_size->addItem(QStringLiteral("1280x720"), QSize(1280, 720));
    m_size->addItem(QStringLiteral("1920x1080"), QSize(1920, 1080));
    form->addRow(Text("画面大小："), m_size);

    m_sound = new QComboBox(this);
    m_sound->addItem(Text("参考视频的声音"), int(ExportJob::Sound::Reference));
    m_sound->addItem(Text("全部混音"), int(ExportJob::Sound::Mix));
    m_sound->addItem(Text("无声音"), int(ExportJob::Sound::Silent));
    form->addRow(Text("声音："), m_sound);

    m_format = new QComboBox(this);
    m_format->addItem(Text("MP4（H.264 + AAC）"), int(ExportJob::Container::Mp4));
    m_format->addItem(Text("MKV（H.264 + AAC）"), int(ExportJob::Container::Mkv));
    form->addRow(Text("格式："), m_format);
    connect(m_format, &QComboBox::currentIndexChanged, this, &CExportDlg::FormatChosen);

    m_file = new QLineEdit(DefaultFile(set.paths[std::size_t(std::clamp(set.reference, 0, 3))]), this);
    m_file->setAccessibleName(Text("导出文件"));
    m_browse = new QPushButton(Text("浏览..."), this);
    connect(m_browse, &QPushButton::clicked, this, &CExportDlg::Browse);
    auto* file = new QHBoxLayout;
    file->addWidget(m_file, 1);
    file->addWidget(m_browse);
    form->addRow(Text("文件："), file);

    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_status = new QLabel(this);
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_export = new QPushButton(Text("导出"), this);
    m_export->setDefault(true);
    m_close = new QPushButton(Text("关闭"), this);
    connect(m_export, &QPushButton::clicked, this, [this] { OnOK(); });
    connect(m_close, &QPushButton::clicked, this, [this] { OnCancel(); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_export);
    buttons->addWidget(m_close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_progress);
    layout->addWidget(m_status);
    layout->addLayout(buttons);
    resize(560, sizeHint().height());
}

CExportDlg::~CExportDlg() = default;

ExportJob CExportDlg::Job() const {
    ExportJob job = m_set;
    const bool marks = m_marks->isChecked() && m_marks->isEnabled();
    job.from = marks ? m_in : 0.0;
    job.to = marks ? m_out : m_length;
    job.size = m_size->currentData().toSize();
    job.sound = ExportJob::Sound(m_sound->currentData().toInt());
    job.container = ExportJob::Container(m_format->currentData().toInt());
    job.output = m_file->text();
    return job;
}

void CExportDlg::FormatChosen() {
    // The file's name follows the format.
    QString name = m_file->text();
    const QString suffix = m_format->currentData().toInt() == int(ExportJob::Container::Mkv)
                               ? QStringLiteral(".mkv")
                               : QStringLiteral(".mp4");
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > name.lastIndexOf(QLatin1Char('/'))) {
        name.truncate(dot);
    }
    m_file->setText(name + suffix);
}

void CExportDlg::Browse() {
    // The overwrite question is ours (Begin), asked once whichever way the name came.
    auto* dialog = new QFileDialog(this, Text("导出视频"), m_file->text(),
                                   Text("MP4 视频 (*.mp4);;Matroska 视频 (*.mkv)"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString& file) {
        m_file->setText(file);
        m_format->setCurrentIndex(ExportJob::ContainerFor(file) == ExportJob::Container::Mkv ? 1 : 0);
    });
    dialog->open();
}

void CExportDlg::OnOK() {
    if (m_task->IsRunning()) {
        return;
    }
    const ExportJob job = Job();
    if (FileName::KindOf(job.output) == FileName::Kind::File) {
        auto* box = new QMessageBox(QMessageBox::Question, Text("导出视频"),
                                    Text("文件已存在：\n%1\n要替换它吗？").arg(FileName::Shown(job.output)),
                                    QMessageBox::Yes | QMessageBox::No, this);
        box->setDefaultButton(QMessageBox::No);
        box->setAttribute(Qt::WA_DeleteOnClose);
        connect(box, &QMessageBox::finished, this, [this, box] {
            if (box->clickedButton() == box->button(QMessageBox::Yes)) {
                Begin(true);
            }
        });
        box->open();
        return;
    }
    Begin(false);
}

void CExportDlg::Begin(bool overwrite) {
    ExportJob job = Job();
    job.overwrite = overwrite;
    if (const QString why = CExporter::CheckOutput(job.output, overwrite); !why.isEmpty()) {
        m_status->setText(Text("无法导出：%1").arg(why));
        return;
    }
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_status->setText(Text("正在导出..."));
    SetRunning(m_task->Start(job));
}

void CExportDlg::OnCancel() {
    if (m_task->IsRunning()) {
        m_task->Cancel();
        m_status->setText(Text("正在取消..."));
        return;
    }
    CBCGPDialog::OnCancel();
}

void CExportDlg::Ended(const ExportResult& result) {
    SetRunning(false);
    switch (result.status) {
    case ExportResult::Status::Done: {
        QString text = Text("已导出 %1 帧：%2").arg(result.frames).arg(FileName::Shown(Job().output));
        for (const QString& note : result.notes) {
            text += QLatin1Char('\n') + note;
        }
        m_status->setText(text);
        break;
    }
    case ExportResult::Status::Cancelled:
        m_progress->setValue(0);
        m_status->setText(Text("已取消，没有留下文件"));
        break;
    case ExportResult::Status::Failed:
        m_progress->setValue(0);
        m_status->setText(Text("导出失败：%1").arg(result.message));
        break;
    }
    emit exportEnded(int(result.status));
}

void CExportDlg::SetRunning(bool running) {
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_whole, m_size, m_sound, m_format, m_file, m_browse, m_export}) {
        w->setEnabled(!running);
    }
    m_marks->setEnabled(!running && m_in >= 0.0 && m_out > m_in);
    m_close->setText(running ? Text("取消") : Text("关闭"));
}
