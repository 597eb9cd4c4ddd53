#pragma once
// What one export asks for: the set's videos with their offsets, the reference pane, the
// interval of the reference's time, the picture size, the sound and the file to write.
#include <QSize>
#include <QString>

#include <array>

struct ExportJob {
    enum class Sound { Reference, Mix, Silent };
    enum class Container { Mp4, Mkv };

    std::array<QString, 4> paths;    // pane 1 to 4; empty = an empty pane (black)
    std::array<double, 4> offsets{}; // pane k shows the reference's instant t at its own t + offset
    int reference = 0;               // the pane whose time the interval and the frame rate are in
    int referenceRule = -1;          // instead of `reference`, as the MiniVideo setting: 1 the
                                     // shortest video, 0 the longest; -1 = `reference` holds
    double from = 0.0;               // seconds of the reference's time
    double to = 0.0;                 // negative: the reference's end
    QSize size;                      // the whole picture, each pane fitted in a quarter of it;
                                     // empty: DefaultSize of the reference's picture
    Sound sound = Sound::Reference;
    Container container = Container::Mp4;
    QString output;         // the file to write
    bool overwrite = false; // replace an existing file

    // The container a file name asks for: .mkv, else mp4.
    static Container ContainerFor(const QString& output);
    // The picture size for a reference picture of this size: twice it each way, made smaller
    // (its shape kept) to fit 3840x2160, both sides multiples of 4.
    static QSize DefaultSize(QSize reference);
    // A size the exporter can write: even quarters, within 16x16 .. 7680x4320.
    static bool IsUsableSize(QSize size);
};
