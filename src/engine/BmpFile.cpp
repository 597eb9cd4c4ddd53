#include "engine/BmpFile.h"

#include "platform/CAtomicFile.h"

#include <array>
#include <vector>

namespace {

constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40;

int rowBytes(int width) {
    return (width * 3 + 3) & ~3;
}

void put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}

void put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = std::uint8_t(v >> (8 * i));
    }
}

} // namespace

qint64 Bmp24FileSize(int width, int height) {
    return kFileHeaderSize + kInfoHeaderSize + qint64(rowBytes(width)) * height;
}

bool WriteBmp24(const QString& path, const std::uint8_t* bgr, int width, int height, int stride,
                QString* why) {
    if (!bgr || width <= 0 || height <= 0 || stride < width * 3) {
        if (why != nullptr) {
            *why = QStringLiteral("没有可保存的画面");
        }
        return false;
    }
    const int row = rowBytes(width);
    const auto imageSize = std::uint32_t(row) * std::uint32_t(height);

    std::array<std::uint8_t, kFileHeaderSize + kInfoHeaderSize> header{};
    std::uint8_t* h = header.data();
    h[0] = 'B';
    h[1] = 'M';
    put32(h + 2, std::uint32_t(Bmp24FileSize(width, height)));
    put32(h + 10, kFileHeaderSize + kInfoHeaderSize);
    std::uint8_t* info = h + kFileHeaderSize;
    put32(info + 0, kInfoHeaderSize);
    put32(info + 4, std::uint32_t(width));
    put32(info + 8, std::uint32_t(height)); // positive: rows stored bottom-up
    put16(info + 12, 1);                    // planes
    put16(info + 14, 24);                   // bits per pixel
    put32(info + 16, 0);                    // BI_RGB
    put32(info + 20, imageSize);

    // A failed write never leaves a half-written snapshot behind.
    CAtomicFile file(path);
    bool ok = file.open() && file.write(reinterpret_cast<const char*>(header.data()), qint64(header.size()));
    std::vector<std::uint8_t> line(std::size_t(row), 0);
    for (int y = height - 1; y >= 0 && ok; --y) {
        const std::uint8_t* src = bgr + std::size_t(y) * std::size_t(stride);
        std::copy(src, src + width * 3, line.begin());
        ok = file.write(reinterpret_cast<const char*>(line.data()), row);
    }
    ok = ok && file.commit();
    if (!ok && why != nullptr) {
        *why = file.errorString();
    }
    return ok;
}
