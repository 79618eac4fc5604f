#include "dialoglogic/ByteOrderedNames.h"

#include <algorithm>
#include <utility>

ByteOrderedNames::ByteOrderedNames(std::size_t runLength, std::size_t longestMerge)
    : mRunLength(std::max<std::size_t>(runLength, 1)), mLongestMerge(longestMerge) {}

void ByteOrderedNames::add(QString name) {
    mKeys.push_back(name.toUtf8());
    mNames.append(std::move(name));
    mOrder.push_back(static_cast<std::uint32_t>(mOrder.size()));
    if (mOrder.size() - runStart() < mRunLength) return;
    closeRun();
    while (mRunEnds.size() > 1 && runLength(1) == runLength(2) && 2 * runLength(1) <= mLongestMerge)
        mergeLastTwo();
}

void ByteOrderedNames::finish() {
    closeRun();
    mHeads.clear();
    for (std::size_t i = 0; i < mRunEnds.size(); ++i)
        mHeads.push_back({i ? mRunEnds[i - 1] : 0, mRunEnds[i]});
    std::make_heap(mHeads.begin(), mHeads.end(),
                   [this](const Run& a, const Run& b) { return less(mOrder[b.at], mOrder[a.at]); });
}

const QString* ByteOrderedNames::next() {
    // A heap whose top is the run with the first name to come.
    const auto later = [this](const Run& a, const Run& b) {
        return less(mOrder[b.at], mOrder[a.at]);
    };
    if (mHeads.empty()) return nullptr;
    std::pop_heap(mHeads.begin(), mHeads.end(), later);
    Run& run = mHeads.back();
    const QString* name = &mNames[mOrder[run.at++]];
    if (run.at == run.end) {
        mHeads.pop_back();
    } else {
        std::push_heap(mHeads.begin(), mHeads.end(), later);
    }
    return name;
}

std::size_t ByteOrderedNames::runLength(std::size_t fromEnd) const {
    const std::size_t count = mRunEnds.size();
    const std::size_t end = mRunEnds[count - fromEnd];
    return end - (count > fromEnd ? mRunEnds[count - fromEnd - 1] : 0);
}

void ByteOrderedNames::closeRun() {
    const std::size_t start = runStart();
    if (start == mOrder.size()) return;
    std::sort(mOrder.begin() + std::ptrdiff_t(start), mOrder.end(),
              [this](std::uint32_t a, std::uint32_t b) { return less(a, b); });
    mRunEnds.push_back(mOrder.size());
}

void ByteOrderedNames::mergeLastTwo() {
    const std::size_t count = mRunEnds.size();
    const std::size_t start = count > 2 ? mRunEnds[count - 3] : 0;
    std::inplace_merge(mOrder.begin() + std::ptrdiff_t(start),
                       mOrder.begin() + std::ptrdiff_t(mRunEnds[count - 2]),
                       mOrder.begin() + std::ptrdiff_t(mRunEnds[count - 1]),
                       [this](std::uint32_t a, std::uint32_t b) { return less(a, b); });
    mRunEnds.erase(mRunEnds.end() - 2);
}
