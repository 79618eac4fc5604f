#pragma once
// Gumbo run inside bounds: every block it asks for comes from an arena that this object frees
// in one go (the tree is never walked to be destroyed), and every request is a checkpoint where
// the parse is left when it has used too much memory, run too long or been told to stop.

#include <gumbo.h>

#include <atomic>
#include <chrono>
#include <csetjmp>
#include <cstddef>
#include <cstdint>

struct ParseBounds {
    std::int64_t maxBytes;  // all Gumbo asks for, freed or not
    std::chrono::steady_clock::time_point deadline;
    const std::atomic<bool>* stop;  // set from another thread: leave at once; may be null
};

enum class ParseEnd { Finished, OutOfMemory, OutOfTime, Stopped };

class GumboArena {
public:
    explicit GumboArena(const ParseBounds& bounds) : mBounds(bounds) {}
    ~GumboArena();
    GumboArena(const GumboArena&) = delete;
    GumboArena& operator=(const GumboArena&) = delete;

    // The tree, which lives as long as this arena; null when the parse was left (see end()).
    // Once per arena.
    const GumboOutput* parse(const char* html, std::size_t size);
    ParseEnd end() const { return mEnd; }
    std::int64_t used() const { return mUsed; }

private:
    struct Chunk;
    static void* Allocate(void* self, std::size_t size);
    static void Release(void*, void*) {}  // all goes when the arena does
    void* take(std::size_t size);
    bool outOfBounds();

    ParseBounds mBounds;
    std::jmp_buf mLeave;
    Chunk* mChunks = nullptr;
    char* mFree = nullptr;
    std::size_t mLeft = 0;
    std::int64_t mUsed = 0;
    unsigned mRequests = 0;
    ParseEnd mEnd = ParseEnd::Finished;
};
