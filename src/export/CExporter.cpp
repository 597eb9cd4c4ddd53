#include "export/CExporter.h"

#include "export/CExportWriter.h"
#include "export/CPaneSource.h"
#include "platform/CAtomicFile.h"
#include "platform/FileName.h"

#include <gst/video/video.h>

#include <QRect>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr double kLengthSlack = 0.0005; // times are given in milliseconds

QString PaneName(int k) {
    static const char* const names[] = {"视频一", "视频二", "视频三", "视频四"};
    return QString::fromUtf8(names[k]);
}

QString FolderOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QStringLiteral(".") : slash == 0 ? QStringLiteral("/") : path.left(slash);
}

ExportResult Failed(const QString& why) {
    ExportResult result;
    result.status = ExportResult::Status::Failed;
    result.message = why;
    return result;
}

// The temporary file beside the output: created here (so a folder that cannot be written to is
// found before any work), written by the pipeline, renamed or removed at the end.
class TempFile {
public:
    bool create(const QString& output, QString* why) {
        const QString folder = FolderOf(output);
        const QString base = output.mid(output.lastIndexOf(QLatin1Char('/')) + 1);
        QByteArray name = FileName::ToBytes(folder + QStringLiteral("/.") + base + QStringLiteral(".XXXXXX"));
        const int fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd < 0) {
            *why = CAtomicFile::ErrorText(errno);
            return false;
        }
        // A new file's usual permissions (0666 less the umask), not mkstemp's 0600.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
        ::close(fd);
        m_bytes = name;
        return true;
    }
    QString path() const { return FileName::FromBytes(m_bytes); }
    // Flushes to the disk and renames over output (never over a file that appeared meanwhile
    // unless overwrite).
    bool commit(const QString& output, bool overwrite, QString* why) {
        const int fd = ::open(m_bytes.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || ::fsync(fd) != 0) {
            *why = CAtomicFile::ErrorText(errno);
            if (fd >= 0) {
                ::close(fd);
            }
            return false;
        }
        ::close(fd);
        const QByteArray target = FileName::ToBytes(output);
        const int renamed = overwrite ? ::rename(m_bytes.constData(), target.constData())
                                      : ::renameat2(AT_FDCWD, m_bytes.constData(), AT_FDCWD,
                                                    target.constData(), RENAME_NOREPLACE);
        if (renamed != 0) {
            *why = errno == EEXIST ? QStringLiteral("文件已存在") : CAtomicFile::ErrorText(errno);
            return false;
        }
        m_bytes.clear();
        return true;
    }
    ~TempFile() {
        if (!m_bytes.isEmpty()) {
            ::unlink(m_bytes.constData());
        }
    }

private:
    QByteArray m_bytes;
};

// Where each pane's picture goes in the output frame.
struct Placement {
    QRect rect; // even position and size
};

Placement Place(int pane, QSize output, QSize picture) {
    const int qw = output.width() / 2;
    const int qh = output.height() / 2;
    QSize fitted = picture.isEmpty() ? QSize() : picture.scaled(qw, qh, Qt::KeepAspectRatio);
    fitted = QSize(std::max(2, fitted.width() & ~1), std::max(2, fitted.height() & ~1));
    const int x = (pane / 2) * qw + (((qw - fitted.width()) / 2) & ~1);
    const int y = (pane % 2) * qh + (((qh - fitted.height()) / 2) & ~1);
    return {QRect(QPoint(x, y), fitted)};
}

void FillBlack(GstVideoFrame* frame) {
    for (guint p = 0; p < 3; ++p) {
        auto* data = static_cast<guint8*>(GST_VIDEO_FRAME_PLANE_DATA(frame, p));
        const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(frame, p);
        const int width = GST_VIDEO_FRAME_COMP_WIDTH(frame, p);
        const int height = GST_VIDEO_FRAME_COMP_HEIGHT(frame, p);
        for (int y = 0; y < height; ++y) {
            std::memset(data + std::ptrdiff_t(y) * stride, p == 0 ? 16 : 128, std::size_t(width));
        }
    }
}

// Copies the pane's picture into its place; a picture of another size (caps not yet applied)
// is left out.
void CopyPicture(GstVideoFrame* out, GstSample* sample, const QRect& place) {
    GstVideoInfo info;
    if (!gst_video_info_from_caps(&info, gst_sample_get_caps(sample)) || info.width != place.width() ||
        info.height != place.height() || GST_VIDEO_INFO_FORMAT(&info) != GST_VIDEO_FORMAT_I420) {
        return;
    }
    GstVideoFrame in;
    if (!gst_video_frame_map(&in, &info, gst_sample_get_buffer(sample), GST_MAP_READ)) {
        return;
    }
    for (guint p = 0; p < 3; ++p) {
        const int shift = p == 0 ? 0 : 1;
        const auto* src = static_cast<const guint8*>(GST_VIDEO_FRAME_PLANE_DATA(&in, p));
        auto* dst = static_cast<guint8*>(GST_VIDEO_FRAME_PLANE_DATA(out, p));
        const int srcStride = GST_VIDEO_FRAME_PLANE_STRIDE(&in, p);
        const int dstStride = GST_VIDEO_FRAME_PLANE_STRIDE(out, p);
        const int width = GST_VIDEO_FRAME_COMP_WIDTH(&in, p);
        const int height = GST_VIDEO_FRAME_COMP_HEIGHT(&in, p);
        dst += std::ptrdiff_t(place.y() >> shift) * dstStride + (place.x() >> shift);
        for (int y = 0; y < height; ++y) {
            std::memcpy(dst + std::ptrdiff_t(y) * dstStride, src + std::ptrdiff_t(y) * srcStride,
                        std::size_t(width));
        }
    }
    gst_video_frame_unmap(&in);
}

// The reference the rule picks among the open panes (the first of equals); -1 when none is open.
int ChooseReference(const std::array<std::unique_ptr<CPaneSource>, 4>& panes, bool shortest) {
    int chosen = -1;
    for (int k = 0; k < 4; ++k) {
        const auto& pane = panes[std::size_t(k)];
        if (pane && (chosen < 0 || (shortest ? pane->Length() < panes[std::size_t(chosen)]->Length()
                                             : pane->Length() > panes[std::size_t(chosen)]->Length()))) {
            chosen = k;
        }
    }
    return chosen;
}

} // namespace

QString CExporter::TimeText(double seconds) {
    const qint64 ms = std::llround(std::max(0.0, seconds) * 1000.0);
    return QString::asprintf("%02lld:%02lld:%02lld.%03lld", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60,
                             ms % 1000);
}

QString CExporter::CheckOutput(const QString& output, bool overwrite) {
    if (output.isEmpty()) {
        return QStringLiteral("没有给出导出的文件名");
    }
    const FileName::Kind kind = FileName::KindOf(output);
    if (kind == FileName::Kind::Folder || output.endsWith(QLatin1Char('/'))) {
        return QStringLiteral("导出的目标是一个文件夹：%1").arg(FileName::Shown(output));
    }
    if (kind != FileName::Kind::Missing && kind != FileName::Kind::File) {
        return QStringLiteral("导出的目标不是普通文件：%1").arg(FileName::Shown(output));
    }
    if (kind == FileName::Kind::File && !overwrite) {
        return QStringLiteral("文件已存在：%1").arg(FileName::Shown(output));
    }
    if (FileName::KindOf(FolderOf(output)) != FileName::Kind::Folder) {
        return QStringLiteral("文件夹不存在：%1").arg(FileName::Shown(FolderOf(output)));
    }
    return {};
}

ExportResult CExporter::Run(const ExportJob& asked, const std::atomic<bool>& cancel,
                            const Progress& progress) {
    if (const QString why = CheckOutput(asked.output, asked.overwrite); !why.isEmpty()) {
        return Failed(why);
    }
    if (asked.referenceRule < 0 &&
        (asked.reference < 0 || asked.reference > 3 || asked.paths[std::size_t(asked.reference)].isEmpty())) {
        return Failed(QStringLiteral("参考视频没有打开"));
    }
    if (!asked.size.isEmpty() && !ExportJob::IsUsableSize(asked.size)) {
        return Failed(QStringLiteral("画面大小 %1x%2 不可用：宽和高须是 4 的倍数，在 16x16 到 7680x4320 之间")
                          .arg(asked.size.width())
                          .arg(asked.size.height()));
    }
    if (asked.to >= 0.0 && !(asked.from < asked.to)) {
        return Failed(QStringLiteral("入点必须在出点之前"));
    }

    // Every pane's file opens side by side.
    std::array<std::unique_ptr<CPaneSource>, 4> panes;
    for (std::size_t k = 0; k < 4; ++k) {
        if (asked.paths[k].isEmpty()) {
            continue;
        }
        // The reference a rule picks is known once the files are open: each may be it.
        const bool sound =
            asked.sound == ExportJob::Sound::Mix || (asked.sound == ExportJob::Sound::Reference &&
                                                     (int(k) == asked.reference || asked.referenceRule >= 0));
        panes[k] = std::make_unique<CPaneSource>(cancel);
        QString why;
        if (!panes[k]->BeginOpen(asked.paths[k], sound, &why)) {
            return Failed(QStringLiteral("无法打开%1（%2）：%3")
                              .arg(PaneName(int(k)), FileName::Shown(asked.paths[k]), why));
        }
    }
    for (std::size_t k = 0; k < 4; ++k) {
        QString why;
        if (panes[k] && !panes[k]->Opened(&why)) {
            if (cancel.load()) {
                return {ExportResult::Status::Cancelled, {}, {}, 0};
            }
            return Failed(QStringLiteral("无法打开%1（%2）：%3")
                              .arg(PaneName(int(k)), FileName::Shown(asked.paths[k]), why));
        }
    }
    ExportJob job = asked;
    if (job.referenceRule >= 0) {
        job.reference = ChooseReference(panes, job.referenceRule == 1);
        if (job.reference < 0) {
            return Failed(QStringLiteral("参考视频没有打开"));
        }
    }
    const CPaneSource& reference = *panes[std::size_t(job.reference)];
    if (job.to < 0.0) {
        job.to = reference.Length();
    }
    if (job.size.isEmpty()) {
        job.size = ExportJob::DefaultSize(reference.PictureSize());
    }
    if (job.from < 0.0 || (reference.Length() > 0.0 && job.to > reference.Length() + kLengthSlack)) {
        return Failed(QStringLiteral("导出区间 %1 - %2 超出参考视频的长度 %3")
                          .arg(TimeText(job.from), TimeText(job.to), TimeText(reference.Length())));
    }
    if (!(job.from < job.to)) {
        return Failed(QStringLiteral("入点必须在出点之前"));
    }
    const int rateNum = reference.RateNum() > 0 ? reference.RateNum() : 25;
    const int rateDen = reference.RateNum() > 0 ? reference.RateDen() : 1;
    const std::int64_t total = std::llround((job.to - job.from) * rateNum / rateDen);
    if (total < 1) {
        return Failed(QStringLiteral("导出区间不足一帧"));
    }

    TempFile temp;
    QString why;
    if (!temp.create(job.output, &why)) {
        return Failed(QStringLiteral("无法写入 %1：%2").arg(FileName::Shown(job.output), why));
    }

    std::array<Placement, 4> places;
    std::array<bool, 4> sounding{};
    bool sound = false;    // the file has sound
    bool anySound = false; // some pane reads sound (read even when not heard, so it never piles up)
    const double frame = double(rateDen) / rateNum;
    for (std::size_t k = 0; k < 4; ++k) {
        if (!panes[k]) {
            continue;
        }
        places[k] = Place(int(k), job.size, panes[k]->PictureSize());
        const double from = job.from + job.offsets[k];
        const double until = job.to + job.offsets[k] + 2 * frame;
        const bool inside = until > 0.0 && (panes[k]->Length() <= 0.0 || from < panes[k]->Length());
        if (!inside) {
            panes[k].reset(); // nothing of it in the interval: black
            continue;
        }
        if (!panes[k]->Start(std::max(0.0, from), until, places[k].rect.size(), &why)) {
            return Failed(QStringLiteral("无法读取%1：%2").arg(PaneName(int(k)), why));
        }
        sounding[k] = panes[k]->HasSound() && (job.sound == ExportJob::Sound::Mix || int(k) == job.reference);
        sound = sound || sounding[k];
        anySound = anySound || panes[k]->HasSound();
    }

    CExportWriter writer;
    if (!writer.Open(temp.path(), job.size, rateNum, rateDen, sound, job.container, &why)) {
        return Failed(QStringLiteral("无法写入 %1：%2").arg(FileName::Shown(job.output), why));
    }
    GstVideoInfo outInfo;
    gst_video_info_set_format(&outInfo, GST_VIDEO_FORMAT_I420, guint(job.size.width()),
                              guint(job.size.height()));
    std::vector<float> samples;
    std::vector<float> unheard; // the sound of panes not in the mix, read and dropped
    const auto soundAt = [&](std::int64_t i) {
        return std::int64_t(gst_util_uint64_scale(
            guint64(i), guint64(CPaneSource::kSoundRate) * guint64(rateDen), guint64(rateNum)));
    };

    for (std::int64_t i = 0; i < total; ++i) {
        if (cancel.load()) {
            writer.Abort();
            return {ExportResult::Status::Cancelled, {}, {}, i};
        }
        const double t = job.from + double(i) * rateDen / rateNum;
        GstBuffer* picture = writer.NewPicture();
        GstVideoFrame out;
        if (picture == nullptr || !gst_video_frame_map(&out, &outInfo, picture, GST_MAP_WRITE)) {
            if (picture) {
                gst_buffer_unref(picture);
            }
            why = writer.Failure();
            return Failed(QStringLiteral("写入 %1 失败：%2").arg(FileName::Shown(job.output), why));
        }
        FillBlack(&out);
        for (std::size_t k = 0; k < 4; ++k) {
            if (panes[k]) {
                if (GstSample* shown = panes[k]->PictureAt(t + job.offsets[k])) {
                    CopyPicture(&out, shown, places[k].rect);
                }
            }
        }
        gst_video_frame_unmap(&out);
        if (cancel.load()) {
            gst_buffer_unref(picture);
            writer.Abort();
            return {ExportResult::Status::Cancelled, {}, {}, i};
        }
        if (!writer.PushPicture(picture, i, &why)) {
            return Failed(QStringLiteral("写入 %1 失败：%2").arg(FileName::Shown(job.output), why));
        }
        if (anySound) {
            const std::int64_t first = soundAt(i);
            const int count = int(soundAt(i + 1) - first);
            samples.assign(std::size_t(2 * count), 0.0f);
            unheard.assign(std::size_t(2 * count), 0.0f);
            for (std::size_t k = 0; k < 4; ++k) {
                if (panes[k]) {
                    const double paneStart = job.from + job.offsets[k];
                    panes[k]->AddSound(sounding[k] ? samples.data() : unheard.data(),
                                       std::llround(paneStart * CPaneSource::kSoundRate) + first, count);
                }
            }
            for (float& s : samples) {
                s = std::clamp(s, -1.0f, 1.0f);
            }
            if (sound && !writer.PushSound(samples.data(), first, count, &why)) {
                return Failed(QStringLiteral("写入 %1 失败：%2").arg(FileName::Shown(job.output), why));
            }
        }
        if (progress) {
            progress(i + 1, total);
        }
    }
    if (cancel.load()) {
        writer.Abort();
        return {ExportResult::Status::Cancelled, {}, {}, total};
    }
    if (!writer.Finish(&why) || !temp.commit(job.output, job.overwrite, &why)) {
        writer.Abort();
        return Failed(QStringLiteral("写入 %1 失败：%2").arg(FileName::Shown(job.output), why));
    }

    ExportResult result;
    result.status = ExportResult::Status::Done;
    result.frames = total;
    for (std::size_t k = 0; k < 4; ++k) {
        if (panes[k] && panes[k]->Broken()) {
            result.notes << QStringLiteral("%1的文件在 %2 处中断（%3），此后该画面为黑色")
                                .arg(PaneName(int(k)), TimeText(panes[k]->BrokenAt() - job.offsets[k]),
                                     panes[k]->BrokenWhy());
        }
    }
    return result;
}
