#include "crawl/GumboArena.h"

#include <algorithm>
#include <cstdlib>

struct GumboArena::Chunk {
    Chunk* next;
};

namespace {

constexpr std::size_t kAlign = alignof(std::max_align_t);
constexpr std::size_t kChunkBytes = std::size_t{1} << 20;
constexpr std::size_t kHeader = (sizeof(void*) + kAlign - 1) / kAlign * kAlign;
// The clock is read once in so many requests: Gumbo asks for a block every few tokens.
constexpr unsigned kRequestsPerClock = 256;

}  // namespace

GumboArena::~GumboArena() {
    while (mChunks) {
        Chunk* next = mChunks->next;
        std::free(mChunks);
        mChunks = next;
    }
}

// Leaving by longjmp is sound here: between the setjmp below and the longjmp in Allocate there
// are only Gumbo's C frames and Allocate's, none of which holds an object with a destructor,
// and all Gumbo had is in the arena, which stays valid until this object goes.
const GumboOutput* GumboArena::parse(const char* html, std::size_t size) {
    GumboOptions options = kGumboDefaultOptions;
    options.allocator = &GumboArena::Allocate;
    options.deallocator = &GumboArena::Release;
    options.userdata = this;
    // Gumbo copies the stack of open elements into every error it records: on deep nesting
    // that is quadratic memory, and nothing here reads the errors.
    options.max_errors = 0;
    if (setjmp(mLeave) != 0) return nullptr;
    return gumbo_parse_with_options(&options, html, size);
}

bool GumboArena::outOfBounds() {
    if (mBounds.stop && mBounds.stop->load(std::memory_order_relaxed)) {
        mEnd = ParseEnd::Stopped;
    } else if (mUsed > mBounds.maxBytes) {
        mEnd = ParseEnd::OutOfMemory;
    } else if (++mRequests % kRequestsPerClock == 0 &&
               std::chrono::steady_clock::now() > mBounds.deadline) {
        mEnd = ParseEnd::OutOfTime;
    }
    return mEnd != ParseEnd::Finished;
}

void* GumboArena::take(std::size_t size) {
    size = (std::max<std::size_t>(size, 1) + kAlign - 1) / kAlign * kAlign;
    mUsed += std::int64_t(size);
    if (outOfBounds()) return nullptr;
    if (size > mLeft) {
        const std::size_t bytes = std::max(kChunkBytes, size + kHeader);
        auto* chunk = static_cast<Chunk*>(std::malloc(bytes));
        if (!chunk) {
            mEnd = ParseEnd::OutOfMemory;
            return nullptr;
        }
        chunk->next = mChunks;
        mChunks = chunk;
        mFree = reinterpret_cast<char*>(chunk) + kHeader;
        mLeft = bytes - kHeader;
    }
    void* block = mFree;
    mFree += size;
    mLeft -= size;
    return block;
}

void* GumboArena::Allocate(void* self, std::size_t size) {
    auto* arena = static_cast<GumboArena*>(self);
    void* block = arena->take(size);
    if (!block) std::longjmp(arena->mLeave, 1);
    return block;
}
