// The reading of a robots.txt: the file, a path and two rule patterns come from the input. Two
// rules alone are decided as the plain reading of the matching says (a "*" any run of
// characters, a final "$" the end of the path, the longer pattern wins, Allow a tie; patterns
// and paths percent-encoded alike, as the crawl compares them); the
// file's answer stays the same with CR LF or CR line ends, with a byte order mark ahead and with
// another crawler's group after it.

#include <vector>

#include "FuzzCheck.h"
#include "crawl/RobotsTxt.h"

namespace {

const QString kAgent = QStringLiteral("SiteRambler");

// Whether the pattern matches the start of the path (all of it with a final "$"), worked out
// character by character: reached[j] says the pattern so far can end after j characters.
bool PlainMatch(QStringView pattern, QStringView path) {
    const bool anchored = pattern.endsWith(u'$');
    if (anchored) pattern.chop(1);
    std::vector<char> reached(size_t(path.size()) + 1, 0);
    reached[0] = 1;
    for (QChar c : pattern) {
        std::vector<char> next(reached.size(), 0);
        for (size_t j = 0; j < reached.size(); ++j) {
            if (c == u'*')
                next[j] = reached[j] || (j > 0 && next[j - 1]);
            else
                next[j] = j > 0 && reached[j - 1] && path[qsizetype(j - 1)] == c;
        }
        reached.swap(next);
    }
    if (anchored) return reached.back();
    for (char r : reached)
        if (r) return true;
    return false;
}

// A value a rule line can hold as it is: one line, no comment, no outer blanks.
QString RuleValue(FuzzedDataProvider& data) {
    QString value = QString::fromUtf8(data.ConsumeRandomLengthString(60));
    value.remove(u'\n').remove(u'\r').remove(u'#');
    return value.trimmed();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider data(bytes, size);
    const QString path = RobotsPath(QStringLiteral("http://example.test") + ConsumeText(data, 120));
    FUZZ_CHECK(path.startsWith(u'/') && !path.contains(u'#'));
    const QString disallow = RuleValue(data);
    const QString allow = RuleValue(data);
    const std::string rest = data.ConsumeRemainingBytesAsString();
    const QByteArray file(rest.data(), qsizetype(rest.size()));

    const QByteArray rules =
        "User-agent: *\nDisallow: " + disallow.toUtf8() + "\nAllow: " + allow.toUtf8() + '\n';
    // compared as the crawl compares them: octets outside ASCII and %xx escapes spelled alike
    const QString seen = RobotsEncoded(path);
    const QString banned = RobotsEncoded(disallow);
    const QString let = RobotsEncoded(allow);
    const bool blocked = !banned.isEmpty() && PlainMatch(banned, seen);
    const bool allowed = !let.isEmpty() && PlainMatch(let, seen);
    const bool expected = !blocked || (allowed && let.size() >= banned.size());
    FUZZ_CHECK(RobotsTxt::Parse(rules, kAgent).allows(path) == expected);

    const bool answer = RobotsTxt::Parse(file, kAgent).allows(path);
    QByteArray ends = file;
    FUZZ_CHECK(RobotsTxt::Parse(ends.replace("\n", "\r\n"), kAgent).allows(path) == answer);
    ends = file;
    FUZZ_CHECK(RobotsTxt::Parse(ends.replace('\n', '\r'), kAgent).allows(path) == answer);
    const QByteArray mark = "\xEF\xBB\xBF";
    if (!file.startsWith(mark))
        FUZZ_CHECK(RobotsTxt::Parse(mark + file, kAgent).allows(path) == answer);
    const QByteArray other = file + "\nDisallow:\nUser-agent: OtherBot\nDisallow: /\n";
    FUZZ_CHECK(RobotsTxt::Parse(other, kAgent).allows(path) == answer);
    return 0;
}
