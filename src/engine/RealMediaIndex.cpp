#include "engine/RealMediaIndex.h"

#include <QFile>

namespace {

quint32 be32(const uchar* p) {
    return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | p[3];
}

} // namespace

bool IsRealMediaWithoutIndex(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    // Chunks: id (4), size (4, whole chunk), version (2), body. The PROP body holds
    // max/avg bit rate, max/avg packet size, packets, duration, preroll, then the index offset.
    const QByteArray head = file.read(4096);
    const auto* data = reinterpret_cast<const uchar*>(head.constData());
    if (head.size() < 18 || !head.startsWith(".RMF")) {
        return false;
    }
    qint64 at = 0;
    while (at + 10 <= head.size()) {
        const quint32 size = be32(data + at + 4);
        if (head.mid(int(at), 4) == "PROP") {
            const qint64 indexField = at + 10 + 7 * 4;
            if (indexField + 4 > head.size()) {
                return false;
            }
            return be32(data + indexField) == 0;
        }
        if (size < 10) {
            return false;
        }
        at += size;
    }
    return false;
}
