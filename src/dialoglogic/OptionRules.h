#pragma once
// The rules behind the options dialog: what the stored switches select when it opens, and what
// an answer typed into the size-limit box means. Kept apart from the window so they can be
// checked without one.

#include <QString>
#include <cstdint>

// The size limit the user may choose, in kilobytes of 1000 bytes.
inline constexpr std::int32_t kPictLimitMin = 0;
inline constexpr std::int32_t kPictLimitMax = 1000;

struct LimitAnswer {
    enum Kind {
        Cancelled,   // empty answer: the user pressed Cancel or emptied the field
        InputError,  // not a number, or a whole number outside kPictLimitMin..kPictLimitMax
        Failed,      // a number that does not fit a 32-bit integer: dropped without a word
        Accepted,
    };
    Kind kind = Cancelled;
    std::int32_t value = 0;  // the rounded limit when Accepted
};

// Reads an answer of the size-limit box. Blanks around the number are allowed; a fraction is
// rounded to the nearest whole number, an exact half to the even one (2.5 -> 2, 3.5 -> 4).
LimitAnswer JudgeLimitAnswer(const QString& answer);

// True when the text is a decimal number (optional sign, digits with an optional fraction, an
// optional exponent), blanks around it allowed. Says nothing about its size.
bool IsNumericText(const QString& text);

// Caption of the delete-small-images option for a given limit.
QString ImageOptionCaption(std::int32_t limit);

// Which option of a group a stored switch selects when the dialog opens: only an exact "1"
// selects the keep option (index 1); anything else leaves the delete option (index 0).
int OptionIndexForSwitch(const QString& storedSwitch);

// The switch value an option of a group stands for: "0" (delete) for index 0, "1" otherwise.
QString SwitchForOptionIndex(int index);
