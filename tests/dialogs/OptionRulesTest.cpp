#include <gtest/gtest.h>

#include "QtPrinters.h"
#include "dialoglogic/OptionRules.h"

namespace {

struct Case {
    const char* answer;
    LimitAnswer::Kind kind;
    int value;
};

TEST(OptionRules, LimitAnswersAreJudgedAsTheDialogNeeds) {
    const Case cases[] = {
        {"", LimitAnswer::Cancelled, 0},           {"0", LimitAnswer::Accepted, 0},
        {"1000", LimitAnswer::Accepted, 1000},     {"1001", LimitAnswer::InputError, 0},
        {"-1", LimitAnswer::InputError, 0},        {"2.5", LimitAnswer::Accepted, 2},
        {"3.5", LimitAnswer::Accepted, 4},         {" 15 ", LimitAnswer::Accepted, 15},
        {"1000.5", LimitAnswer::Accepted, 1000},  // half goes to the even 1000
        {"1000.51", LimitAnswer::InputError, 0},   {"-0.4", LimitAnswer::Accepted, 0},
        {"-0.6", LimitAnswer::InputError, 0},      {"+7", LimitAnswer::Accepted, 7},
        {"1e2", LimitAnswer::Accepted, 100},       {"abc", LimitAnswer::InputError, 0},
        {"12kb", LimitAnswer::InputError, 0},      {"1.2.3", LimitAnswer::InputError, 0},
        {"   ", LimitAnswer::InputError, 0},       {".", LimitAnswer::InputError, 0},
        {"１０", LimitAnswer::InputError, 0},      {"123456789012", LimitAnswer::Failed, 0},
        {"-123456789012", LimitAnswer::Failed, 0}, {"1e300", LimitAnswer::Failed, 0},
    };
    for (const Case& c : cases) {
        const LimitAnswer judged = JudgeLimitAnswer(QString::fromUtf8(c.answer));
        EXPECT_EQ(judged.kind, c.kind) << "answer '" << c.answer << "'";
        if (c.kind == LimitAnswer::Accepted)
            EXPECT_EQ(judged.value, c.value) << "answer '" << c.answer << "'";
    }
}

TEST(OptionRules, NumericTextGrammar) {
    EXPECT_TRUE(IsNumericText(QStringLiteral("5.")));
    EXPECT_TRUE(IsNumericText(QStringLiteral(".5")));
    EXPECT_TRUE(IsNumericText(QStringLiteral("\t42\n")));
    EXPECT_FALSE(IsNumericText(QStringLiteral("e5")));
    EXPECT_FALSE(IsNumericText(QStringLiteral("5e")));
    EXPECT_FALSE(IsNumericText(QStringLiteral("inf")));
    EXPECT_FALSE(IsNumericText(QStringLiteral("0x10")));
    EXPECT_FALSE(IsNumericText(QStringLiteral("--1")));
    EXPECT_FALSE(IsNumericText(QString()));
}

TEST(OptionRules, CaptionStartsWithTheLimit) {
    EXPECT_EQ(ImageOptionCaption(2), QStringLiteral("2キロバイト以下のイメージファイルは削除する"));
    EXPECT_EQ(ImageOptionCaption(0), QStringLiteral("0キロバイト以下のイメージファイルは削除する"));
    EXPECT_TRUE(ImageOptionCaption(-3).startsWith(QStringLiteral("-3キロ")));
}

TEST(OptionRules, OnlyAnExactOneSelectsTheKeepOption) {
    EXPECT_EQ(OptionIndexForSwitch(QStringLiteral("1")), 1);
    EXPECT_EQ(OptionIndexForSwitch(QStringLiteral("0")), 0);
    EXPECT_EQ(OptionIndexForSwitch(QString()), 0);
    EXPECT_EQ(OptionIndexForSwitch(QStringLiteral(" 1")), 0);
    EXPECT_EQ(OptionIndexForSwitch(QStringLiteral("2")), 0);
    EXPECT_EQ(SwitchForOptionIndex(0), QStringLiteral("0"));
    EXPECT_EQ(SwitchForOptionIndex(1), QStringLiteral("1"));
    EXPECT_EQ(SwitchForOptionIndex(5), QStringLiteral("1"));
}

}  // namespace
