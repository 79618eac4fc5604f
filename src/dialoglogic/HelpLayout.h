#pragma once
// Where the manual viewer puts its list and its close button for a given window size.
//
// The rules measure from the window's outer edges, frame and title bar included, as on the
// system the window was drawn for. Window managers here draw frames of every size (or none at
// all offscreen), so the outer size is taken as the client area plus that system's frame:
// 4-pixel borders and an 18-pixel title bar. The margins then come out the same everywhere.

#include <optional>

inline constexpr int kTwipsPerPixel = 15;
inline constexpr int kHelpFrameWidthTwips = 8 * kTwipsPerPixel;
inline constexpr int kHelpFrameHeightTwips = 26 * kTwipsPerPixel;
// The list scrolls sideways over this many pixels, whatever its lines hold.
inline constexpr int kHelpListExtentPixels = 800;

struct HelpLayout {
    // In pixels of the client area. Empty when the rule gives a negative size: the list then
    // keeps its previous size.
    std::optional<int> listWidth;
    std::optional<int> listHeight;
    int closeLeft = 0;  // may be negative: the button then sits partly outside the window
    int closeTop = 0;
};

HelpLayout HelpLayoutFor(int clientWidthPixels, int clientHeightPixels);
