#pragma once
// The About box's texts fade in from black to white. The fade runs a counter from 0 to 5100 and
// paints at every tenth value, with the grey level counter / 20 rounded to the nearest whole
// number, halves to the even one: 511 steps from 0 up to 255.

#include <vector>

inline constexpr int kAboutFadeSteps = 511;

// Grey level (0..255) painted at fade step `step` (0..kAboutFadeSteps-1), i.e. counter 10*step.
int AboutFadeGrey(int step);

// Every grey level of the fade, in painting order.
std::vector<int> AboutFadeGreys();
