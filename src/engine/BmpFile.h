#pragma once
// Writing a picture as a 24-bit Windows bitmap file: a 14-byte file header ("BM", file size,
// pixel data offset 54), a 40-byte BITMAPINFOHEADER, then the rows bottom-up, each padded to a
// multiple of 4 bytes.
#include <QString>

#include <cstdint>

// bgr: top-down rows of width * 3 bytes in B, G, R order, stride bytes apart.
// False when the file cannot be created or written (nothing is thrown); an old file of that
// name then stays as it was, and *why (when given) says why.
bool WriteBmp24(const QString& path, const std::uint8_t* bgr, int width, int height, int stride,
                QString* why = nullptr);

// Size in bytes of the file WriteBmp24 writes for a picture of this size.
qint64 Bmp24FileSize(int width, int height);
