#pragma once
// A hash table whose every change costs about the same, however large it has grown. A plain
// table rehashes all its entries when it fills up: at 150,000 texts that held the window for
// a tenth of a second. Here, when the table is full, a table of twice the room takes over and
// the old table's entries move across a few at each later change; the old table is only read
// meanwhile, and freed on a worker thread when it is empty.

#include <QHash>
#include <type_traits>
#include <utility>

#include "core/Elsewhere.h"

// Frees value on a job of Qt's global pool: freeing 300,000 texts one by one held the window for
// a fifth of a second. Texts still shared with the caller's containers are safe: their shared
// counts are atomic.
template <class T>
void FreeElsewhere(T&& value) {
    StartElsewhere([held = std::decay_t<T>(std::forward<T>(value))]() mutable {
        [[maybe_unused]] const auto freed = std::move(held);  // here, not when the pool drops it
    });
}

// A container of many entries is freed elsewhere; one of fewer is freed here: handing it over,
// a wake-up of a pooled thread, costs more than freeing it.
inline constexpr qsizetype kFreeElsewhereFrom = 10000;
template <class C>
void FreeEntries(C&& entries) {
    if (entries.size() >= kFreeElsewhereFrom) {
        FreeElsewhere(std::forward<C>(entries));
        return;
    }
    [[maybe_unused]] const std::decay_t<C> freed = std::forward<C>(entries);
}

template <class Key, class T>
class SteadyHash {
public:
    SteadyHash() = default;
    // A copy shares the old table while it is read, so the place of the next move stays valid.
    SteadyHash(const SteadyHash&) = default;
    SteadyHash& operator=(const SteadyHash&) = default;
    SteadyHash(SteadyHash&&) noexcept = default;
    SteadyHash& operator=(SteadyHash&&) noexcept = default;
    // A large table is freed on a worker thread, like a cleared one.
    ~SteadyHash() {
        if (mNew.size() + mOld.size() < kFreeElsewhereFrom) return;
        FreeElsewhere(std::move(mNew));
        FreeElsewhere(std::move(mOld));
    }

    // nullptr when key is missing.
    const T* find(const Key& key) const {
        const auto it = mNew.constFind(key);
        const Slot* slot = it != mNew.cend() ? &*it : oldSlot(key);
        return slot && slot->live ? &slot->value : nullptr;
    }
    bool contains(const Key& key) const { return find(key) != nullptr; }

    // The value of key to change in place; nullptr when key is missing.
    T* findForChange(const Key& key) {
        moveSome(kMovesPerChange);
        const auto it = mNew.find(key);
        if (it != mNew.end()) return it->live ? &it->value : nullptr;
        const Slot* old = oldSlot(key);
        return old && old->live ? &place(key, *old).value : nullptr;
    }

    void insert(const Key& key, const T& value) {
        moveSome(kMovesPerChange);
        const auto it = mNew.find(key);
        if (it != mNew.end())
            *it = Slot{value, true};
        else
            place(key, Slot{value, true});
    }

    void remove(const Key& key) {
        moveSome(kMovesPerChange);
        const Slot* old = oldSlot(key);
        const bool hidesOld = old && old->live;  // a removed mark must then stay in its place
        const auto it = mNew.find(key);
        if (it != mNew.end()) {
            if (hidesOld)
                *it = Slot{T(), false};
            else
                mNew.erase(it);
        } else if (hidesOld) {
            place(key, Slot{T(), false});
        }
    }

    // Empties the table; a large one is freed on a worker thread.
    void clear() { std::exchange(*this, SteadyHash()); }

private:
    struct Slot {
        T value;
        bool live;
    };
    // Enough that the move ends long before the new table, twice the old one's size, fills.
    static constexpr int kMovesPerChange = 4;

    const Slot* oldSlot(const Key& key) const {
        if (mOld.isEmpty()) return nullptr;
        const auto it = mOld.constFind(key);
        return it != mOld.cend() ? &*it : nullptr;
    }

    Slot& place(const Key& key, const Slot& slot) {
        if (mNew.size() >= mNew.capacity()) grow();  // the insert would rehash the whole table
        return *mNew.insert(key, slot);
    }

    void moveSome(int steps) {
        if (mOld.isEmpty()) return;
        for (; steps > 0 && mNext != mOld.cend(); --steps, ++mNext)
            if (mNext->live && !mNew.contains(mNext.key())) mNew.insert(mNext.key(), *mNext);
        if (mNext == mOld.cend()) FreeEntries(std::exchange(mOld, {}));
    }

    void grow() {
        while (!mOld.isEmpty()) moveSome(1 << 16);  // not reached while the moves keep pace
        mOld = std::exchange(mNew, {});
        mNew.reserve(qMax<qsizetype>(64, 2 * mOld.size()));
        mNext = mOld.cbegin();
    }

    QHash<Key, Slot> mNew;
    QHash<Key, Slot> mOld;
    typename QHash<Key, Slot>::const_iterator mNext;  // the next entry of mOld to move
};
