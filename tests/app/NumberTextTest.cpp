#include <gtest/gtest.h>

#include "QtPrinters.h"

#include "core/NumberText.h"

TEST(NumberText, RoundsHalvesToEvenAndAcceptsBlanksAndSigns) {
    EXPECT_EQ(ToLongHalfEven("2.5"), 2);
    EXPECT_EQ(ToLongHalfEven("3.5"), 4);
    EXPECT_EQ(ToLongHalfEven("7.5"), 8);
    EXPECT_EQ(ToLongHalfEven("6.5"), 6);
    EXPECT_EQ(ToLongHalfEven("-2.5"), -2);
    EXPECT_EQ(ToLongHalfEven("  12  "), 12);
    EXPECT_EQ(ToLongHalfEven("+7"), 7);
    EXPECT_EQ(ToLongHalfEven("2.6"), 3);
    EXPECT_EQ(ToLongHalfEven("1e3"), 1000);
    EXPECT_EQ(ToLongHalfEven("-2147483648"), INT32_MIN);
    EXPECT_EQ(ToLongHalfEven("2147483647"), INT32_MAX);
}

TEST(NumberText, RejectsWhatIsNoNumberOrOutOfRange) {
    for (const char* bad : {"", "   ", "abc", "12abc", "99999999999", "2147483648", "1e300",
                            "-2147483649", "inf", "nan", "0x10", ".", "-", "1e", "1 2"})
        EXPECT_FALSE(ToLongHalfEven(QString::fromLatin1(bad)).has_value()) << bad;
}
