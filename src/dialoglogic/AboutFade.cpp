#include "dialoglogic/AboutFade.h"

int AboutFadeGrey(int step) {
    if (step <= 0) return 0;
    if (step >= kAboutFadeSteps - 1) return 255;
    // counter / 20 with counter = 10 * step is step / 2: an odd step lands on a half, which
    // goes to the even neighbour.
    const int half = step / 2;
    if (step % 2 == 0) return half;
    return (half % 2 == 0) ? half : half + 1;
}

std::vector<int> AboutFadeGreys() {
    std::vector<int> greys;
    greys.reserve(kAboutFadeSteps);
    for (int step = 0; step < kAboutFadeSteps; ++step) greys.push_back(AboutFadeGrey(step));
    return greys;
}
