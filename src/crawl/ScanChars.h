#pragma once
// Character-level helpers of the page scan, alike for stored bytes (char, UTF-8) and for
// decoded text (char16_t, UTF-16). Every character they look for is ASCII, which in UTF-8 is
// never part of another character, so what is found in the bytes of a line lies where it lies
// in the decoded line.

#include <QtGlobal>
#include <algorithm>
#include <bit>
#include <cstring>
#include <string_view>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace scanchars {

inline unsigned Code(char c) {
    return static_cast<unsigned char>(c);
}
inline unsigned Code(char16_t c) {
    return c;
}

template <typename Char>
bool IsQuote(Char c) {
    return Code(c) == '"' || Code(c) == '\'';
}

template <typename Char>
bool StartsWith(const Char* text, qsizetype size, std::string_view ascii) {
    if (size < qsizetype(ascii.size())) return false;
    for (size_t j = 0; j < ascii.size(); ++j)
        if (Code(text[j]) != static_cast<unsigned char>(ascii[j])) return false;
    return true;
}

// Finds up to eight ASCII characters (below DEL) in blocks of 16 characters at a time: one bit
// per character of the block that may be one of them. Bits can be set for DEL as well; the
// caller looks at each character that a bit names.
class CharFinder {
public:
    static constexpr qsizetype kBlock = 16;

    explicit CharFinder(std::string_view chars) {
        Q_ASSERT(!chars.empty() && chars.size() <= 8);
        // Unused places repeat the first character, so that four or eight are always compared.
        mWide = chars.size() > 4;
        for (size_t k = 0; k < 8; ++k) {
            mChars[k] = k < chars.size() ? chars[k] : chars[0];
#if defined(__SSE2__)
            mWanted[k] = _mm_set1_epi8(mChars[k]);
#endif
        }
    }

    unsigned Block(const char* text) const {
#if defined(__SSE2__)
        return Hits(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text)));
#else
        return Scalar(text);
#endif
    }
    unsigned Block(const char16_t* text) const {
#if defined(__SSE2__)
        // Narrowed with saturation: units from 0x80 up become DEL or 0x80, never a wanted one.
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + 8));
        return Hits(_mm_packs_epi16(low, high));
#else
        return Scalar(text);
#endif
    }

private:
#if defined(__SSE2__)
    unsigned Hits(__m128i block) const {
        __m128i hit = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(block, mWanted[0]), _mm_cmpeq_epi8(block, mWanted[1])),
            _mm_or_si128(_mm_cmpeq_epi8(block, mWanted[2]), _mm_cmpeq_epi8(block, mWanted[3])));
        if (mWide) {
            hit = _mm_or_si128(hit, _mm_or_si128(_mm_cmpeq_epi8(block, mWanted[4]),
                                                 _mm_cmpeq_epi8(block, mWanted[5])));
            hit = _mm_or_si128(hit, _mm_or_si128(_mm_cmpeq_epi8(block, mWanted[6]),
                                                 _mm_cmpeq_epi8(block, mWanted[7])));
        }
        return unsigned(_mm_movemask_epi8(hit));
    }
    __m128i mWanted[8];
#endif
    template <typename Char>
    unsigned Scalar(const Char* text) const {
        unsigned hits = 0;
        for (int i = 0; i < kBlock; ++i)
            for (const char c : mChars)
                if (Code(text[i]) == static_cast<unsigned char>(c)) hits |= 1u << i;
        return hits;
    }

    bool mWide = false;
    char mChars[8] = {};
};

}  // namespace scanchars
