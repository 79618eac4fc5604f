#pragma once
// Scanning the lines of a stored page for quoted references to further pages and to images.

#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <QtGlobal>
#include <array>
#include <functional>
#include <string>
#include <vector>

class UrlQueue;
class WindowSystem;

// The quoted reference that fragment holds between startMarker and endMarker, made absolute
// against pageUrl; empty when the fragment holds no acceptable reference for this pattern.
QString ResolveReference(const QString& pageUrl, QStringView fragment, QStringView startMarker,
                         QStringView endMarker);

// What a relative reference is appended to: pageUrl up to and including its last "/". A URL
// that is only a scheme and a host ("http://host") gets "/" after the host, so that "a.jpg"
// becomes "http://host/a.jpg".
QString ReferenceBase(const QString& pageUrl);

class PageScanner {
public:
    // animateIcon is called after every blank-separated token, as the window's busy icon wants.
    PageScanner(UrlQueue& links, UrlQueue& images, std::function<void()> animateIcon);

    // Cuts the line into fragments, applies every scan pattern to every fragment and appends
    // each new reference to its queue. Yields through ws() between pieces of work (so it may
    // throw ProgramEnding), at the latest after kWorkPerYield units of work.
    void ScanLine(QStringView line, const QString& pageUrl);
    // The same for a line as stored: UTF-8 bytes, of which only the references found are
    // decoded. Bytes that are not UTF-8 become U+FFFD, as when the whole line is decoded.
    void ScanLine(QByteArrayView line, const QString& pageUrl);

    // A unit is one character looked at or one pattern applied; a queued reference counts as
    // kWorkPerAppend, since the list view takes its share of it.
    static constexpr qint64 kWorkPerYield = 1 << 15;
    static constexpr qint64 kWorkPerAppend = 256;

    // Asked before a new reference is appended (page: it goes to the link queue); false keeps
    // it out. None: every new reference is appended.
    using Filter = std::function<bool(const QString& url, bool page)>;
    void setFilter(Filter filter) { mFilter = std::move(filter); }

    // A scan aside from the run (a look at a page ahead of time) never yields: nothing the
    // user does may change its queues, and it must not run the window from where it is asked.
    void setSideScan(bool side) { mSideScan = side; }

private:
    static constexpr int kMaxStarts = 4;
    static constexpr int kMaxEnds = 32;

    // One pattern, taken apart once: which start and end marker it uses, where matches go.
    struct Pattern {
        int start = 0;  // index into mStarts
        int end = 0;    // index into mEnds
        UrlQueue* target = nullptr;
    };
    // The end markers that begin with one character, by their second character, so that
    // a place in the text is compared only with those that can begin there.
    struct LeadGroup {
        quint32 single = 0;                   // bits of the end markers of just this character
        std::array<quint32, 128> bySecond{};  // bits of the longer ones
    };
    // A reference that a start and an end marker cut out of a fragment.
    struct Found {
        int start;
        int end;
        qsizetype at;  // in the fragment
        qsizetype size;
    };
    using Founds = std::array<Found, kMaxStarts * kMaxEnds>;

    template <typename Char>
    void scanText(const Char* text, qsizetype size);
    template <typename Char>
    void scanFragment(const Char* fragment, qsizetype size, const qsizetype* startAt,
                      qsizetype lastQuote);
    template <typename Char>
    int findReferences(const Char* rest, qsizetype size, qsizetype lastQuote, int start,
                       Found* found);
    template <typename Char>
    void applyPatterns(const Char* fragment, const Found* found, int count);
    void tokenDone();
    // Every reference found goes through here on its way into its queue.
    void queueReference(UrlQueue& target, const QString& url);
    void pace(qint64 work);
    void useBase(const QString& pageUrl);

    UrlQueue& mLinks;
    UrlQueue& mImages;
    std::function<void()> mAnimateIcon;
    Filter mFilter;
    std::vector<Pattern> mPatterns;
    std::vector<char> mStarts;  // the distinct start markers, one character each
    std::string mSpecials;      // what the line walk stops at: blank, "<", quotes, start markers
    std::vector<std::string> mEnds;  // the distinct end markers
    std::vector<LeadGroup> mLeads;
    std::array<quint8, 256> mKind{};    // what each character below 256 means to the line walk
    std::array<quint8, 128> mLeadOf{};  // 1 + index into mLeads for the lead characters
    std::string mLeadChars;             // the first characters of the end markers
    std::array<bool, 128> mEndsWith{};  // the last characters of the end markers
    quint32 mAllEnds = 0;               // one bit per end marker
    // For each start and end marker, one bit per pattern (by index) that pairs them.
    std::array<quint64, kMaxStarts * kMaxEnds> mPatternsOf{};
    QString mPageUrl;
    QString mBase;
    bool mHaveBase = false;
    WindowSystem* mWindows = nullptr;  // the layer in use, taken once per line
    qint64 mWork = 0;
    bool mSideScan = false;
    QString mUrl;  // where each URL is put together, so that one already queued costs nothing
};
