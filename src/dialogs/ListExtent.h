#pragma once
// Gives a list a fixed sideways scroll range, like a list box told its horizontal extent: the
// list scrolls over exactly that many pixels, however wide or narrow its lines are, and nothing
// beyond can be scrolled into view.

#include <cstdint>

class QAbstractItemView;

// 0 when the range was set, -1 when it could not be (no list, or a negative width).
std::int16_t SetListHorizontalExtent(QAbstractItemView* list, std::int32_t widthPixels);
