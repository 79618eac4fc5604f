#pragma once
// Names put in byte order (of their UTF-8 form) while a long folder is read, so that no step
// between two yields handles the whole folder: sorting 100,000 names at once held the window
// for a tenth of a second. Each name is encoded once; short runs are sorted as they fill and
// merged pairwise up to a bounded length; the runs left are merged name by name as the names
// are taken, so every step costs at most one bounded merge.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <vector>

class ByteOrderedNames {
public:
    // The run and merge lengths only change how the work is cut up, never the order.
    explicit ByteOrderedNames(std::size_t runLength = 4096, std::size_t longestMerge = 32768);

    void add(QString name);
    // Called once every name is in, before the first next().
    void finish();
    // The next name in byte order, null after the last.
    const QString* next();

private:
    struct Run {
        std::size_t at;
        std::size_t end;
    };
    bool less(std::uint32_t a, std::uint32_t b) const { return mKeys[a] < mKeys[b]; }
    std::size_t runStart() const { return mRunEnds.empty() ? 0 : mRunEnds.back(); }
    std::size_t runLength(std::size_t fromEnd) const;
    void closeRun();
    void mergeLastTwo();

    std::size_t mRunLength;
    std::size_t mLongestMerge;
    std::vector<QByteArray> mKeys;
    QStringList mNames;
    std::vector<std::uint32_t> mOrder;  // positions in mNames, in byte order run by run
    std::vector<std::size_t> mRunEnds;
    std::vector<Run> mHeads;  // the runs still to be taken from, as a heap
};
