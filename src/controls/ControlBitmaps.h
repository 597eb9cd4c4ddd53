#pragma once
// The controls' bitmaps, compiled in from res/bitmaps/<id>.bmp and res/toolbar/<id>.png.
#include <QImage>

// The bitmap with that resource id as 32-bit RGB, or a null image when there is none.
QImage LoadControlBitmap(int id);
// The tool bar image strip with that resource id (16 x 16 images side by side, with alpha).
QImage LoadToolBarBitmap(int id);
