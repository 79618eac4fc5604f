#include "core/CrawlSettingsFile.h"

#include <QRegularExpression>
#include <algorithm>
#include <optional>
#include <vector>

#include "core/NumberText.h"

namespace {

const QString kBaseSetting = QStringLiteral("BaseSetting");
const QString kLink = QStringLiteral("Link");
const QString kDownloadPath = QStringLiteral("DownloadPath");
const QString kUrl = QStringLiteral("URL");
const QString kCount = QStringLiteral("Count");

QString LinkKey(qint64 number) {
    return kUrl + QString::number(number);
}

// A decimal number in the form the Count conversion accepts, whatever its size: tells a Count
// that is too large (a failure) from one that is no number at all (no links).
bool LooksNumeric(const QString& text) {
    static const QRegularExpression number(
        QStringLiteral("^[+-]?(?:[0-9]+(?:\\.[0-9]*)?|\\.[0-9]+)(?:[eE][+-]?[0-9]+)?$"));
    return number.match(text.trimmed()).hasMatch();
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

QByteArrayView TrimBlanks(QByteArrayView s) {
    qsizetype b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.sliced(b, e - b);
}

// The number n of a key spelled "URL" + n (any letter case, no padding), or -1.
qint64 LinkKeyNumber(QByteArrayView key) {
    if (key.size() < 4 || key.size() > 13) return -1;  // a 32-bit count has at most 10 digits
    for (int i = 0; i < 3; ++i)
        if ((key[i] | 0x20) != "url"[i]) return -1;
    const QByteArrayView digits = key.sliced(3);
    if (digits.size() > 1 && digits[0] == '0') return -1;
    qint64 n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}

// Every number n from 0 to last for which some line of the file has the key "URL" + n, in
// increasing order. Whether that key really sits in [Link] is left to the profile look-up.
// Empty when keepGoing said stop.
std::optional<std::vector<qint64>> LinkNumbersPresent(const ProfileFile& file, qint64 last,
                                                      const KeepGoing& keepGoing) {
    std::vector<qint64> numbers;
    for (qsizetype i = 0; i < file.lineCount(); ++i) {
        if (keepGoing && !keepGoing()) return std::nullopt;
        const QByteArrayView line = TrimBlanks(file.line(i));
        const qsizetype eq = line.indexOf('=');
        if (line.isEmpty() || line[0] == ';' || line[0] == '[' || eq < 0) continue;
        const qint64 n = LinkKeyNumber(TrimBlanks(line.first(eq)));
        if (n >= 0 && n <= last) numbers.push_back(n);
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    return numbers;
}

}  // namespace

QString CrawlFileTargetPath(const QString& folder, const QString& name) {
    QString path = folder;
    if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
    return path + name;
}

ProfileFile BuildCrawlSettingsFile(const QString& downloadPath, const QString& startUrl,
                                   const QStringList& links, CrawlFileLayout layout,
                                   const KeepGoing& keepGoing) {
    ProfileFile file;
    file.setValue(kBaseSetting, kDownloadPath, downloadPath);
    const bool resume =
        layout == CrawlFileLayout::Resume && !links.isEmpty() && !links.first().isEmpty();
    const qsizetype first = resume ? 1 : 0;
    file.setValue(kBaseSetting, kUrl, resume ? links.first() : startUrl);
    file.setValue(kLink, kCount, QString::number(links.size() - first));
    for (qsizetype i = first; i < links.size(); ++i) {
        file.setValue(kLink, LinkKey(i), links[i]);
        if (keepGoing && !keepGoing()) return ProfileFile();
    }
    return file;
}

bool SaveCrawlSettingsFile(const QString& path, const QString& downloadPath,
                           const QString& startUrl, const QStringList& links,
                           CrawlFileLayout layout, const KeepGoing& keepGoing) {
    bool stopped = false;
    const KeepGoing watch = [&] { return keepGoing() || (stopped = true, false); };
    const ProfileFile file = BuildCrawlSettingsFile(downloadPath, startUrl, links, layout,
                                                    keepGoing ? watch : KeepGoing());
    return !stopped && file.save(path, keepGoing ? watch : KeepGoing());
}

CrawlSettingsRead ReadCrawlSettings(const ProfileFile& file, const KeepGoing& keepGoing) {
    CrawlSettingsRead read;
    read.startUrl = file.value(kBaseSetting, kUrl);
    read.downloadPath = file.value(kBaseSetting, kDownloadPath);
    const QString countText = file.value(kLink, kCount);
    if (countText.isEmpty()) return read;
    const std::optional<std::int32_t> count = ToLongHalfEven(countText);
    if (!count) {
        read.countOutOfRange = LooksNumeric(countText);
        return read;
    }
    if (*count < 0) return read;
    CrawlSettingsRead abandoned;
    abandoned.abandoned = true;
    const auto numbers = LinkNumbersPresent(file, *count, keepGoing);
    if (!numbers) return abandoned;
    for (const qint64 n : *numbers) {
        const QString link = file.value(kLink, LinkKey(n));
        if (!link.isEmpty()) read.links.append(link);
        if (keepGoing && !keepGoing()) return abandoned;
    }
    return read;
}

CrawlSettingsRead ReadCrawlSettingsFile(const QString& path, const KeepGoing& keepGoing) {
    ProfileFile file;
    if (keepGoing)
        file.load(path, [&keepGoing] { keepGoing(); });  // its stop is seen at the next link
    else
        file.load(path);
    return ReadCrawlSettings(file, keepGoing);
}
