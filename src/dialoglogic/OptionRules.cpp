#include "dialoglogic/OptionRules.h"

#include "core/NumberText.h"

namespace {

bool IsDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

qsizetype SkipDigits(const QString& s, qsizetype i, qsizetype* count) {
    while (i < s.size() && IsDigit(s[i])) ++i, ++*count;
    return i;
}

}  // namespace

bool IsNumericText(const QString& text) {
    const QString s = text.trimmed();
    qsizetype i = 0;
    if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-'))) ++i;
    qsizetype digits = 0;
    i = SkipDigits(s, i, &digits);
    if (i < s.size() && s[i] == QLatin1Char('.')) i = SkipDigits(s, i + 1, &digits);
    if (digits == 0) return false;
    if (i < s.size() && (s[i] == QLatin1Char('e') || s[i] == QLatin1Char('E'))) {
        ++i;
        if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-'))) ++i;
        qsizetype expDigits = 0;
        i = SkipDigits(s, i, &expDigits);
        if (expDigits == 0) return false;
    }
    return i == s.size();
}

LimitAnswer JudgeLimitAnswer(const QString& answer) {
    if (answer.isEmpty()) return {LimitAnswer::Cancelled, 0};
    if (!IsNumericText(answer)) return {LimitAnswer::InputError, 0};
    // A number too large for the conversion is dropped quietly, like a cancelled box.
    const std::optional<std::int32_t> value = ToLongHalfEven(answer);
    if (!value) return {LimitAnswer::Failed, 0};
    if (*value < kPictLimitMin || *value > kPictLimitMax) return {LimitAnswer::InputError, 0};
    return {LimitAnswer::Accepted, *value};
}

QString ImageOptionCaption(std::int32_t limit) {
    return QString::number(limit) + QStringLiteral("キロバイト以下のイメージファイルは削除する");
}

int OptionIndexForSwitch(const QString& storedSwitch) {
    return storedSwitch == QLatin1String("1") ? 1 : 0;
}

QString SwitchForOptionIndex(int index) {
    return index == 0 ? QStringLiteral("0") : QStringLiteral("1");
}
