#pragma once
// Files named from outside the program (a drop, a second copy, the desktop's media controls),
// sorted before anything opens: local, existing, readable files whose content is a video. Pure
// functions of the file system as it stands; they show nothing.
#include <QList>
#include <QStringList>
#include <QUrl>

namespace IncomingFiles {

struct Sorted {
    QStringList files;   // usable video files, absolute paths, in the order given
    QStringList refused; // what was refused, as the user would recognise it
    QStringList extra;   // usable files beyond the fourth (not opened)
};

Sorted Sort(const QList<QUrl>& urls);
bool IsVideoFile(const QString& path);

} // namespace IncomingFiles
