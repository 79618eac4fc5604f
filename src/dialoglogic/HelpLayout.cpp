#include "dialoglogic/HelpLayout.h"

#include <cmath>

namespace {

int ToPixels(int twips) {
    return static_cast<int>(std::lround(static_cast<double>(twips) / kTwipsPerPixel));
}

std::optional<int> SizeFrom(int twips) {
    if (twips < 0) return std::nullopt;
    return ToPixels(twips);
}

}  // namespace

HelpLayout HelpLayoutFor(int clientWidthPixels, int clientHeightPixels) {
    const int outerWidth = clientWidthPixels * kTwipsPerPixel + kHelpFrameWidthTwips;
    const int outerHeight = clientHeightPixels * kTwipsPerPixel + kHelpFrameHeightTwips;
    HelpLayout layout;
    layout.listHeight = SizeFrom(outerHeight - 1100);
    layout.listWidth = SizeFrom(outerWidth - 350);
    layout.closeTop = ToPixels(outerHeight - 900);
    layout.closeLeft = ToPixels(outerWidth - 2150);
    return layout;
}
