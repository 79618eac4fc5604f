#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>

#include "dialoglogic/AboutFade.h"

namespace {

TEST(AboutFade, FirstStepsAndLastStep) {
    const std::vector<int> greys = AboutFadeGreys();
    ASSERT_EQ(greys.size(), 511u);
    const std::vector<int> first(greys.begin(), greys.begin() + 8);
    EXPECT_EQ(first, (std::vector<int>{0, 0, 1, 2, 2, 2, 3, 4}));
    EXPECT_EQ(greys.back(), 255);
    EXPECT_EQ(AboutFadeGrey(509), 254);
    EXPECT_EQ(AboutFadeGrey(508), 254);
    EXPECT_EQ(AboutFadeGrey(507), 254);  // 253.5 goes to the even 254
}

TEST(AboutFade, EveryStepIsTheCounterOverTwentyRoundedHalfToEven) {
    // The counter runs 0..5100 and paints at every tenth value.
    std::fesetround(FE_TONEAREST);
    int step = 0;
    for (int counter = 0; counter <= 5100; ++counter) {
        if (counter % 10 != 0) continue;
        const int expected = static_cast<int>(std::nearbyint(counter / 20.0));
        EXPECT_EQ(AboutFadeGrey(step), expected) << "counter " << counter;
        ++step;
    }
    EXPECT_EQ(step, kAboutFadeSteps);
}

TEST(AboutFade, LevelsNeverGoDownAndStayInRange) {
    const std::vector<int> greys = AboutFadeGreys();
    for (size_t i = 1; i < greys.size(); ++i) {
        EXPECT_GE(greys[i], greys[i - 1]);
        EXPECT_LE(greys[i] - greys[i - 1], 2);
    }
    EXPECT_EQ(AboutFadeGrey(-1), 0);
    EXPECT_EQ(AboutFadeGrey(600), 255);
}

}  // namespace
