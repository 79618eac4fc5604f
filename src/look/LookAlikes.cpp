#include "look/LookAlikes.h"

#include <algorithm>
#include <utility>

namespace {

constexpr int kHashBits = 64;

// The slices split the 64 bits as evenly as they can: slice i is bits [first, first + width).
struct Slice {
    int first;
    int width;
};

Slice SliceOf(int i, int slices) {
    const int first = i * kHashBits / slices;
    return {first, (i + 1) * kHashBits / slices - first};
}

unsigned SliceValue(std::uint64_t hash, Slice s) {
    return unsigned((hash >> s.first) & ((std::uint64_t(1) << s.width) - 1));
}

}  // namespace

LookIndex::LookIndex() {
    for (int i = 0; i < kSlices; ++i)
        mBuckets[i].resize(std::size_t(1) << SliceOf(i, kSlices).width);
}

void LookIndex::add(std::uint64_t hash, int id) {
    const int entry = int(mHashes.size());
    mHashes.push_back(hash);
    mIds.push_back(id);
    for (int i = 0; i < kSlices; ++i)
        mBuckets[i][SliceValue(hash, SliceOf(i, kSlices))].push_back(entry);
}

std::vector<int> LookIndex::near(std::uint64_t hash) const {
    std::vector<std::pair<int, int>> found;  // distance, entry
    for (int i = 0; i < kSlices; ++i) {
        for (const int entry : mBuckets[i][SliceValue(hash, SliceOf(i, kSlices))]) {
            const int distance = LookDistance(hash, mHashes[entry]);
            if (distance <= kLookAlikeBits) found.emplace_back(distance, entry);
        }
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());  // one per slice shared
    std::vector<int> ids;
    ids.reserve(found.size());
    for (const auto& [distance, entry] : found) ids.push_back(mIds[entry]);
    return ids;
}

std::vector<std::vector<QString>> GroupLookAlikes(std::vector<LookedPicture> pictures) {
    // Largest first, so that each group's leader is there before the pictures that join it.
    std::stable_sort(pictures.begin(), pictures.end(),
                     [](const LookedPicture& a, const LookedPicture& b) {
                         if (a.look.pixels != b.look.pixels) return a.look.pixels > b.look.pixels;
                         return a.path < b.path;
                     });
    LookIndex leaders;
    std::vector<std::vector<QString>> groups;
    for (const LookedPicture& p : pictures) {
        const std::vector<int> near = leaders.near(p.look.hash);
        if (!near.empty()) {
            groups[near.front()].push_back(p.path);
            continue;
        }
        leaders.add(p.look.hash, int(groups.size()));
        groups.push_back({p.path});
    }
    std::erase_if(groups, [](const std::vector<QString>& g) { return g.size() < 2; });
    for (auto& g : groups) std::sort(g.begin() + 1, g.end());
    std::sort(groups.begin(), groups.end(),
              [](const auto& a, const auto& b) { return a.front() < b.front(); });
    return groups;
}
