#pragma once
// How a picture looks, in 64 bits: a difference hash of its decoded pixels. The picture is
// shrunk to 9 x 8 grey pixels and each bit says whether a pixel is brighter than its right
// neighbour. Scaling, re-encoding and small colour changes leave it nearly as it was; other
// pictures differ in about half of the bits.

#include <QString>
#include <cstdint>
#include <optional>

struct PictureLook {
    std::uint64_t hash = 0;
    std::int64_t pixels = 0;  // width x height as stored

    bool operator==(const PictureLook&) const = default;
};

// Two pictures whose hashes differ in at most this many bits look alike.
inline constexpr int kLookAlikeBits = 6;

// Gives Qt's picture readers the program's own formats (AVIF), once: whoever reads a picture calls
// it first, so that every program and window reads the same formats. Qt adds a format to its list
// without a lock: a program that reads pictures on several threads calls it before they start.
void UsePictureFormats();

// Nothing when the file cannot be decoded (or would need more memory than the picture
// readers allow). Reads the file: keep it off the window's thread. These three load decode/, the
// module that reads pictures, when first called.
std::optional<PictureLook> LookOfPicture(const QString& path);
// Whether a picture reader knows the file's format, from its first bytes: only then can its look
// be worked out. Quick enough for the window's thread.
bool LookReadable(const QString& path);

int LookDistance(std::uint64_t a, std::uint64_t b);
inline bool LooksAlike(std::uint64_t a, std::uint64_t b) {
    return LookDistance(a, b) <= kLookAlikeBits;
}
