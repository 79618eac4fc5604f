#pragma once
// Each use of the picture readers has its own pixel budget, checked from the picture's header
// before a pixel is decoded: a file of a few hundred kilobytes can declare billions of pixels,
// and looks, thumbnails and previews are decoded on several threads at once.

#include <QtGlobal>

class QImageReader;

// Looks, thumbnails and previews: worked out aside, several at a time.
constexpr qint64 kAsidePixels = 40'000'000;

// Whether what the reader is set to decode stays within maxPixels. JPEG decodes straight at a
// smaller size set on the reader (down to an eighth each way) and a drawing is drawn at it:
// they count what they decode; any other format the whole picture. A picture whose size the reader
// cannot tell before decoding is left to Qt's allocation limit.
bool DecodeFits(QImageReader& reader, qint64 maxPixels);
