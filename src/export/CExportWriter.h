#pragma once
// The file end of an export: pictures (I420) and sound (48 kHz stereo floats) pushed by the
// exporting thread into appsrc elements, H.264 (x264) and AAC, muxed into mp4 or Matroska and
// written by filesink. Pushing waits while the encoder is behind, checking the bus, so a write
// error (full disk, size limit) ends the wait with the reason.
#include "engine/GstRef.h"
#include "export/ExportJob.h"

#include <QSize>
#include <QString>

#include <cstdint>

class CExportWriter {
public:
    CExportWriter() = default;
    ~CExportWriter();
    CExportWriter(const CExportWriter&) = delete;
    CExportWriter& operator=(const CExportWriter&) = delete;

    bool Open(const QString& file, QSize size, int rateNum, int rateDen, bool sound,
              ExportJob::Container container, QString* why);
    // An empty picture to fill, from the writer's own pool (null when the pipeline failed).
    GstBuffer* NewPicture();
    // Frame `index` of the output (takes the buffer).
    bool PushPicture(GstBuffer* picture, std::int64_t index, QString* why);
    // `count` stereo samples starting at output sample `first`.
    bool PushSound(const float* samples, std::int64_t first, int count, QString* why);
    // Ends the streams and waits until the file is complete.
    bool Finish(QString* why);
    // Why the pipeline stopped, after a call failed.
    QString Failure();
    // Stops at once (the file is left as it is: the caller removes it).
    void Abort();

    // The reason for a failed write in words for the user, from a GStreamer error.
    static QString WriteErrorText(const GError* error, const char* debug);

private:
    bool waitForRoom(GstElement* source, guint64 limit, QString* why);
    bool checkBus(QString* why);
    // Takes the failure from an error message: sets why, marks the writer failed, returns false.
    bool failWith(GstMessage* error, QString* why);

    GstElementRef m_pipeline;
    GstBusRef m_bus;
    GstElement* m_video = nullptr;
    GstElement* m_sound = nullptr;
    GstBufferPoolRef m_pool;
    GstCapsRef m_videoCaps;
    guint64 m_pictureBytes = 0;
    int m_rateNum = 25;
    int m_rateDen = 1;
    bool m_failed = false;
};
