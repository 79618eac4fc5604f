// The scan of stored pages against the plain reading of its rules, on generated pages: every
// line decoded as a whole, cut at blanks and "<", every fragment tried with every pattern
// through ResolveReference, each new reference appended once. Both must queue the same
// entries in the same order, and animate the icon at the same moments.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <random>
#include <vector>

#include "QtPrinters.h"
#include "core/StringTokens.h"
#include "core/UrlQueue.h"
#include "core/WindowSystem.h"
#include "crawl/PageLines.h"
#include "crawl/PageScanner.h"
#include "crawl/ScanPatterns.h"

namespace {

class QuietWindowSystem final : public WindowSystem {
public:
    int MsgBox(const QString&, const QString&, int) override { return IDCANCEL; }
    QString InputBox(const QString&, const QString&, const QString&) override { return {}; }

protected:
    void ProcessEvents() override {}
};

// What a scan leaves: the queues, and their sizes at every animation of the icon.
struct Outcome {
    QStringList links;
    QStringList images;
    std::vector<std::pair<int, int>> atAnimation;
};

const QStringList kSeedLinks = {"http://example.com/dir/a.html", "x.htm"};
const QStringList kSeedImages = {"http://example.com/dir/a.jpg", "http://example.com/a.gif"};

// Lines as a stored page is read back: CR or CR LF ends one, a lone LF stays in it.
QList<QByteArray> SplitLines(const QByteArray& page) {
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < page.size(); ++i) {
        if (page[i] != '\r') continue;
        lines << page.mid(start, i - start);
        if (i + 1 < page.size() && page[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < page.size()) lines << page.mid(start);
    return lines;
}

void ReferenceLine(const QString& line, const QString& pageUrl, Outcome& out) {
    static const std::vector<ScanPattern> patterns = BuildScanPatterns();
    std::vector<QStringView> tokens = SplitTokens(line, u' ');
    const bool whole = tokens.empty() && !line.contains(u'<');
    if (tokens.empty()) tokens.push_back(line);
    for (QStringView token : tokens) {
        std::vector<QStringView> fragments = SplitTokens(token, u'<');
        if (fragments.empty()) fragments.push_back(token);
        for (QStringView fragment : fragments) {
            for (const ScanPattern& p : patterns) {
                const QString url = ResolveReference(pageUrl, fragment, p.startMarker, p.endMarker);
                QStringList& queue = p.target == QLatin1String("lstLink") ? out.links : out.images;
                if (!url.isEmpty() && !queue.contains(url)) queue << url;
            }
        }
        if (!whole) out.atAnimation.emplace_back(out.links.size(), out.images.size());
    }
}

Outcome Reference(const QByteArray& page, const QString& pageUrl) {
    Outcome out{kSeedLinks, kSeedImages, {}};
    for (const QByteArray& line : SplitLines(page)) {
        ReferenceLine(QString::fromUtf8(line), pageUrl, out);
        out.atAnimation.emplace_back(out.links.size(), out.images.size());  // after every line
    }
    return out;
}

class ScanDifferentialTest : public ::testing::Test {
protected:
    QuietWindowSystem windows;
    QTemporaryDir dir;

    void SetUp() override { SetWindowSystem(&windows); }
    void TearDown() override { SetWindowSystem(nullptr); }

    // The page stored and read back line by line, as a crawl does.
    Outcome ScanStored(const QByteArray& page, const QString& pageUrl) {
        UrlQueue links, images;
        links.appendAll(kSeedLinks);
        images.appendAll(kSeedImages);
        Outcome out;
        auto animate = [&] { out.atAnimation.emplace_back(links.count(), images.count()); };
        PageScanner scanner(links, images, animate);
        QFile file(dir.filePath("page.html"));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(page);
        file.close();
        PageLineReader reader;
        EXPECT_TRUE(reader.open(file.fileName()));
        QByteArrayView line;
        while (reader.readLine(line)) {
            scanner.ScanLine(line, pageUrl);
            animate();
        }
        out.links = links.entries();
        out.images = images.entries();
        return out;
    }

    // The reference outcome, after checking the scan against it.
    Outcome ExpectSame(const QByteArray& page, const QString& pageUrl, const std::string& what) {
        Outcome want = Reference(page, pageUrl);
        const Outcome got = ScanStored(page, pageUrl);
        EXPECT_EQ(got.links, want.links) << what;
        EXPECT_EQ(got.images, want.images) << what;
        EXPECT_TRUE(got.atAnimation == want.atAnimation) << what;
        return want;
    }
};

// Markup pieces, markers, extensions in both cases and others, line ends of every kind, and
// bytes that are not UTF-8 or that encode characters outside ASCII.
// clang-format off
const std::vector<QByteArray> kPieces = {
    " ", " ", " ", "<", "<", ">", "=", "=", "!", "\"", "\"", "'", "'", "\r", "\n", "\r\n", "\t",
    "/", "://", "?", "#", ".", "..", "a", "pic", "x/y", "http://h.example/", "src=\"", "href='",
    "\">", "'>", ".jpg", ".JPG", ".jpeg", ".JPEG", ".gif", ".GIF", ".png", ".PNG", ".htm",
    ".HTM", ".html", ".HTML", ".shtml", ".SHTML", ".dhtml", ".DHTML", ".Jpg", ".jp", ".htmll",
    "\xff", "\xc3", "\xe2\x82", "\xc3\xa9", "\xe6\x97\xa5", "\xf0\x9f\x98\x80", "\xed\xa0\x80",
    "\xef\xbb\xbf", QByteArray("\0", 1), "\x80\x80", "\xf8\x88\x80\x80\x80"};
// clang-format on

QByteArray RandomPage(std::mt19937& rng, int pieces) {
    std::uniform_int_distribution<size_t> pick(0, kPieces.size() - 1);
    QByteArray page;
    for (int i = 0; i < pieces; ++i) page += kPieces[pick(rng)];
    return page;
}

const QStringList kPageUrls = {"http://example.com/dir/index.html", "http://example.com",
                               "http://example.com/", "index.html", "http://h/a?q=/x#y"};

}  // namespace

TEST_F(ScanDifferentialTest, GeneratedPagesQueueWhatThePlainRulesQueue) {
    std::mt19937 rng(20261207);
    std::uniform_int_distribution<int> size(0, 400);
    qsizetype found = 0;
    for (int round = 0; round < 400; ++round) {
        const QByteArray page = RandomPage(rng, size(rng));
        const QString pageUrl = kPageUrls[round % kPageUrls.size()];
        const Outcome want = ExpectSame(page, pageUrl, "page " + page.toHex().toStdString());
        if (HasFailure()) return;
        found += want.links.size() + want.images.size() - kSeedLinks.size() - kSeedImages.size();
    }
    EXPECT_GT(found, 400);  // the pages are not all empty-handed
}

TEST_F(ScanDifferentialTest, VeryLongLinesAndFragments) {
    std::mt19937 rng(7);
    const QString page = kPageUrls.front();
    // One line of 300 KB with everything in it, and one fragment that long: no blank, no "<".
    QByteArray line = RandomPage(rng, 60000).replace('\r', 'r');
    ExpectSame(line, page, "long line");
    QByteArray fragment = line;
    fragment.replace(' ', '_').replace('<', '(');
    ExpectSame("=\"" + fragment + "x.gif\"", page, "long fragment");
    ExpectSame(QByteArray(200000, 'x') + "!'far.png'" + QByteArray(1000, '"'), page, "far marker");
    // A byte order mark inside a reference is a character of it, and stays one.
    ExpectSame(
        "\xEF\xBB\xBF<img src=\"\xEF\xBB\xBF\xEF\xBB\xBF"
        "a.jpg\">",
        page, "marks");
    // Many lines, few of them with anything to find.
    QByteArray lines;
    for (int i = 0; i < 20000; ++i) lines += i % 997 ? "\r" : "\r\n<a href=\"p.html\">";
    ExpectSame(lines, page, "many lines");
}

TEST_F(ScanDifferentialTest, TextLinesIncludingLoneSurrogates) {
    // Lines handed over as text (not read from a page) go the same way, even with halves of
    // surrogate pairs that no page decodes to.
    std::mt19937 rng(99);
    const QString page = kPageUrls.front();
    std::uniform_int_distribution<int> size(0, 300);
    for (int round = 0; round < 200; ++round) {
        QString line = QString::fromUtf8(RandomPage(rng, size(rng)));
        line.replace(u'\r', QChar(0xD800)).replace(u'\t', QChar(0xDC01));
        Outcome want{kSeedLinks, kSeedImages, {}};
        ReferenceLine(line, page, want);
        UrlQueue links, images;
        links.appendAll(kSeedLinks);
        images.appendAll(kSeedImages);
        Outcome got;
        PageScanner scanner(links, images,
                            [&] { got.atAnimation.emplace_back(links.count(), images.count()); });
        scanner.ScanLine(line, page);
        EXPECT_EQ(links.entries(), want.links);
        EXPECT_EQ(images.entries(), want.images);
        EXPECT_TRUE(got.atAnimation == want.atAnimation);
        if (HasFailure()) return;
    }
}
