#pragma once
// Writes the pictures of all four panes taken at one instant, beside the user-interface thread
// (converting and compressing full-size pictures takes longer than the window may wait): each
// pane's picture as NN_<stamp>.bmp, named as the single snapshots are, and the four together as
// 00_<stamp>.png, a 2 x 2 picture laid out as the panes are. All or nothing: when one file
// cannot be written, those already written are removed again.
#include "engine/IChannel.h"

#include <QImage>
#include <QObject>
#include <QString>

#include <array>
#include <thread>

class CCaptureAllWriter : public QObject {
    Q_OBJECT
public:
    using Pictures = std::array<IChannel::ShownPicture, 4>;

    // Starts at once; finished() comes on the thread this object lives in. A missing folder is
    // made.
    CCaptureAllWriter(QString folder, QString stamp, Pictures pictures, QObject* parent = nullptr);
    // Waits for the writing to end.
    ~CCaptureAllWriter() override;

    // Pane 1 top left, 2 bottom left, 3 top right, 4 bottom right; every cell as large as the
    // largest picture, each picture fitted into its cell with its aspect ratio kept, black
    // around it and in the cells of empty panes. Null when there is no picture at all.
    static QImage ComposeQuadrants(const std::array<QImage, 4>& pictures);
    // Writes the set into folder; false (and nothing left behind) when a file cannot be written,
    // with that file (or the folder) in *file and the reason in *why.
    static bool WriteSet(const QString& folder, const QString& stamp, const std::array<QImage, 4>& pictures,
                         QString* file = nullptr, QString* why = nullptr);

signals:
    // written: every file of the set is there (or there was no picture to write); otherwise
    // file is the one that could not be written and why says why.
    void finished(bool written, const QString& file, const QString& why);

private:
    std::thread m_thread;
};
