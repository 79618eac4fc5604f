#pragma once
// Look-alikes among many pictures: an index that finds the hashes near a given one without
// comparing it with each, and the groups of a folder's pictures, each led by its largest.

#include <QString>
#include <array>
#include <cstdint>
#include <vector>

#include "look/PictureLook.h"

// Pictures that look alike differ in at most kLookAlikeBits bits, so they agree entirely on
// at least one of kLookAlikeBits + 1 slices of the hash: only hashes that share a slice are
// compared.
class LookIndex {
public:
    LookIndex();
    // id: the caller's number for the picture, returned by near().
    void add(std::uint64_t hash, int id);
    // The ids of the hashes added that look like hash, nearest first (ties: in the order
    // they were added).
    std::vector<int> near(std::uint64_t hash) const;
    bool empty() const { return mHashes.empty(); }

private:
    static constexpr int kSlices = kLookAlikeBits + 1;
    std::array<std::vector<std::vector<int>>, kSlices> mBuckets;  // slice value -> entries
    std::vector<std::uint64_t> mHashes;                           // by entry
    std::vector<int> mIds;                                        // by entry
};

struct LookedPicture {
    QString path;
    PictureLook look;
};

// The groups of pictures that look alike, in the order of their first picture's path. Each
// group is led by its largest picture (in pixels; the same size: the first in path order),
// whom every other member looks like; they follow in path order. Pictures like no other are in
// no group.
std::vector<std::vector<QString>> GroupLookAlikes(std::vector<LookedPicture> pictures);
