#pragma once
// A picture's width and height read from its first bytes, as they arrive: JPEG (its SOF
// segment), PNG (IHDR), GIF (the logical screen), WebP (VP8, VP8L, VP8X), AVIF (the largest
// ispe of its item properties) and BMP. The bytes come from any web server: nothing is read
// outside them, every length is checked, and a JPEG or AVIF that keeps its size beyond the
// first kMostHeaderBytes is not told.

#include <QByteArrayView>
#include <cstdint>

struct PictureSize {
    std::int64_t width = 0;
    std::int64_t height = 0;
};

enum class SizeRead {
    NeedMore,  // the bytes so far do not tell yet
    Unknown,   // they never will: another format, a broken header, or too far in
    Found,
};

inline constexpr qsizetype kMostHeaderBytes = 256 * 1024;

// head: the picture's first bytes (all of them so far).
SizeRead ReadPictureSize(QByteArrayView head, PictureSize* size);
