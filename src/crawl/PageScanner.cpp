#include "crawl/PageScanner.h"

#include <algorithm>
#include <bit>
#include <string_view>

#include "core/UrlQueue.h"
#include "core/WindowSystem.h"
#include "crawl/ScanChars.h"
#include "crawl/ScanPatterns.h"

namespace {

using scanchars::Code;
using scanchars::IsQuote;

bool IsQuote(QChar c) {
    return c == u'"' || c == u'\'';
}

// The reference in the text that follows the start marker: up to and including the first end
// marker and the one character after it, without a leading quote, and only when it ends in a
// quote (which is dropped too). Empty when there is no acceptable reference.
QStringView CutReference(QStringView rest, QStringView endMarker) {
    const qsizetype at = rest.indexOf(endMarker);
    if (at < 0) return {};
    QStringView ref = rest.first(qMin(rest.size(), at + endMarker.size() + 1));
    if (!ref.isEmpty() && IsQuote(ref.front())) ref = ref.sliced(1);
    if (ref.isEmpty() || !IsQuote(ref.back())) return {};
    return ref.chopped(1);
}

// A reference that names its scheme ("://") is taken as it stands; any other is appended to
// the base as it is, with no clean-up of "/", "./" or "../".
QString MakeAbsolute(QStringView ref, const QString& base) {
    if (ref.contains(u"://")) return ref.toString();
    QString url;
    url.reserve(base.size() + ref.size());
    url += base;
    url += ref;
    return url;
}

// What a character means to the line walk: nothing, a blank, "<", a quote, or start marker n
// (kStartMarker + n).
enum : quint8 { kOther = 0, kBlank = 1, kCut = 2, kQuote = 3, kStartMarker = 4 };

// Work counted for a line besides its characters, so that a page of empty lines yields too.
constexpr qint64 kWorkPerLine = 8;
// Long texts are walked in pieces of this many characters, with a chance to yield after each.
constexpr qsizetype kPiece = 8192;  // a multiple of the finder's block

unsigned KindOf(const std::array<quint8, 256>& kinds, char c) {
    return kinds[static_cast<unsigned char>(c)];
}
unsigned KindOf(const std::array<quint8, 256>& kinds, char16_t c) {
    return c < 256 ? kinds[c] : unsigned(kOther);
}

// The bytes of a reference as they read inside their decoded line. Decoding drops a byte order
// mark at the start of a text, but within a line there is no start: it stays a character.
QString DecodeInLine(std::string_view bytes) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    qsizetype marks = 0;
    while (bytes.starts_with(kByteOrderMark)) {
        bytes.remove_prefix(kByteOrderMark.size());
        ++marks;
    }
    const QString text = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    return marks == 0 ? text : QString(marks, QChar(0xFEFF)) + text;
}

// Puts the absolute URL of a reference into url, reusing its memory.
void MakeAbsolute(QString& url, const char* ref, qsizetype size, const QString& base) {
    const std::string_view bytes(ref, size_t(size));
    url.resize(0);
    if (bytes.find("://") == std::string_view::npos) url += base;
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return Code(c) < 0x80; }))
        url += QLatin1String(ref, size);  // ASCII reads the same as UTF-8
    else
        url += DecodeInLine(bytes);
}
void MakeAbsolute(QString& url, const char16_t* ref, qsizetype size, const QString& base) {
    const QStringView text(ref, size);
    url.resize(0);
    if (!text.contains(u"://")) url += base;
    url += text;
}

template <typename T>
int SlotOf(std::vector<T>& distinct, const T& value) {
    auto slot = std::find(distinct.begin(), distinct.end(), value);
    if (slot == distinct.end()) slot = distinct.insert(slot, value);
    return int(slot - distinct.begin());
}

}  // namespace

QString ReferenceBase(const QString& pageUrl) {
    const qsizetype scheme = pageUrl.indexOf(u"://");
    if (scheme >= 0 && pageUrl.indexOf(u'/', scheme + 3) < 0) {
        // Scheme and host only: the host's root is the folder of the page.
        qsizetype hostEnd = scheme + 3;
        while (hostEnd < pageUrl.size() && pageUrl[hostEnd] != u'?' && pageUrl[hostEnd] != u'#')
            ++hostEnd;
        return pageUrl.left(hostEnd) + u'/';
    }
    const qsizetype slash = pageUrl.lastIndexOf(u'/');
    return slash < 0 ? pageUrl : pageUrl.left(slash + 1);
}

QString ResolveReference(const QString& pageUrl, QStringView fragment, QStringView startMarker,
                         QStringView endMarker) {
    const qsizetype at = fragment.indexOf(startMarker);
    if (at < 0) return QString();
    const QStringView ref = CutReference(fragment.sliced(at + startMarker.size()), endMarker);
    if (ref.isEmpty()) return QString();
    return MakeAbsolute(ref, ReferenceBase(pageUrl));
}

PageScanner::PageScanner(UrlQueue& links, UrlQueue& images, std::function<void()> animateIcon)
    : mLinks(links), mImages(images), mAnimateIcon(std::move(animateIcon)) {
    // The table is taken apart once here, not at every application. The line walk relies on
    // start markers of one character that is neither a blank nor "<", and on ASCII end
    // markers, so that bytes and decoded text give the same positions.
    mKind[' '] = kBlank;
    mKind['<'] = kCut;
    mKind['"'] = kQuote;
    mKind['\''] = kQuote;
    mSpecials = " <\"'";
    for (const ScanPattern& p : BuildScanPatterns()) {
        Q_ASSERT(p.startMarker.size() == 1 && p.startMarker.front().unicode() < 127);
        Q_ASSERT(!p.endMarker.isEmpty());
        const char start = char(p.startMarker.front().unicode());
        Pattern compiled;
        compiled.start = SlotOf(mStarts, start);
        compiled.end = SlotOf(mEnds, p.endMarker.toStdString());
        compiled.target = p.target == QLatin1String("lstLink") ? &mLinks : &mImages;
        mPatterns.push_back(compiled);
    }
    Q_ASSERT(mPatterns.size() <= 64);
    for (size_t k = 0; k < mPatterns.size(); ++k)
        mPatternsOf[size_t(mPatterns[k].start * kMaxEnds + mPatterns[k].end)] |= quint64(1) << k;
    Q_ASSERT(mStarts.size() <= size_t(kMaxStarts) && mEnds.size() <= size_t(kMaxEnds));
    for (size_t s = 0; s < mStarts.size(); ++s) {
        mKind[quint8(mStarts[s])] = quint8(kStartMarker + s);
        mSpecials += mStarts[s];
    }
    for (size_t e = 0; e < mEnds.size(); ++e) {
        const std::string& end = mEnds[e];
        quint8& group = mLeadOf[quint8(end[0])];
        if (group == 0) {
            mLeads.emplace_back();
            group = quint8(mLeads.size());
            mLeadChars += end[0];
        }
        LeadGroup& lead = mLeads[group - 1];
        (end.size() == 1 ? lead.single : lead.bySecond[quint8(end[1])]) |= 1u << e;
        mEndsWith[quint8(end.back())] = true;
        mAllEnds |= 1u << e;
    }
}

void PageScanner::ScanLine(QStringView line, const QString& pageUrl) {
    useBase(pageUrl);
    scanText(line.utf16(), line.size());
}

void PageScanner::ScanLine(QByteArrayView line, const QString& pageUrl) {
    useBase(pageUrl);
    scanText(line.data(), line.size());
}

void PageScanner::useBase(const QString& pageUrl) {
    mWindows = &ws();
    // A copy: the caller's text may be a queue entry that the user edits during a yield.
    if (mHaveBase && pageUrl == mPageUrl) return;
    mPageUrl = pageUrl;
    mBase = ReferenceBase(pageUrl);
    mHaveBase = true;
}

// The fragments are the pieces of the line between blanks and "<"; only those that hold a
// start marker can yield anything, so only they meet the pattern table.
template <typename Char>
void PageScanner::scanText(const Char* text, qsizetype size) {
    const scanchars::CharFinder specials(mSpecials);
    std::array<qsizetype, kMaxStarts> startAt;
    startAt.fill(-1);
    bool marked = false;  // the current fragment holds a start marker
    bool cut = false;     // the line holds a blank or "<": then it is made of tokens
    qsizetype fragment = 0;
    // A reference ends at a quote that follows an end marker, or at a quote that ends both
    // the fragment and an end marker: a fragment without such a quote is passed over.
    bool closable = false;
    qsizetype lastQuote = -1;
    const auto fragmentDone = [&](qsizetype end) {
        if (end > fragment && lastQuote == end - 1 && mEndsWith[Code(text[lastQuote])])
            closable = true;
        if (closable)
            scanFragment(text + fragment, end - fragment, startAt.data(), lastQuote - fragment);
        pace(end - fragment);
        startAt.fill(-1);
        marked = closable = false;
    };
    const auto step = [&](qsizetype i) {
        const unsigned kind = KindOf(mKind, text[i]);
        if (kind == kOther) return;
        if (kind == kQuote) {
            lastQuote = i;
            if (i > fragment && Code(text[i - 1]) < 128 && mEndsWith[Code(text[i - 1])])
                closable = true;
            return;
        }
        if (kind >= kStartMarker) {
            qsizetype& at = startAt[kind - kStartMarker];
            if (at < 0) {  // only the first one in a fragment counts
                at = i - fragment;
                marked = true;
            }
            return;
        }
        if (marked) fragmentDone(i);
        fragment = i + 1;
        closable = false;
        cut = true;
        if (kind == kBlank) tokenDone();
    };
    for (qsizetype piece = 0; piece < size; piece += kPiece) {
        const qsizetype stop = qMin(size, piece + kPiece);
        qsizetype i = piece;
        for (; i + specials.kBlock <= stop; i += specials.kBlock) {
            for (unsigned hits = specials.Block(text + i); hits != 0; hits &= hits - 1)
                step(i + std::countr_zero(hits));
        }
        for (; i < stop; ++i) step(i);
        pace(stop - piece);
    }
    if (marked) fragmentDone(size);
    if (cut) tokenDone();
    pace(kWorkPerLine);
}

// lastQuote: where in the fragment its last quote is.
template <typename Char>
void PageScanner::scanFragment(const Char* fragment, qsizetype size, const qsizetype* startAt,
                               qsizetype lastQuote) {
    Founds found;
    int count = 0;
    for (int s = 0; s < int(mStarts.size()); ++s) {
        if (startAt[s] < 0 || startAt[s] > lastQuote) continue;
        const qsizetype from = startAt[s] + 1;
        const int before = count;
        count +=
            findReferences(fragment + from, size - from, lastQuote - from, s, found.data() + count);
        for (int k = before; k < count; ++k) found[size_t(k)].at += from;
    }
    if (count > 0) applyPatterns(fragment, found.data(), count);
}

// The references that the text after start marker `start` gives with each end marker: the
// text up to the first occurrence of the end marker and the one character after it, which must
// be a quote; a leading quote is left out, and so is the closing one.
template <typename Char>
int PageScanner::findReferences(const Char* rest, qsizetype size, qsizetype lastQuote, int start,
                                Found* found) {
    // The closing quote is at or after the end marker, so the end markers are looked for up
    // to the last quote only: one found first beyond it could not be taken anyway.
    const qsizetype first = IsQuote(rest[0]) ? 1 : 0;
    int count = 0;
    quint32 seen = 0;
    // At a place that holds the first character of some end marker: which of them begin there.
    const auto visit = [&](qsizetype i) {
        const unsigned c = Code(rest[i]);
        const unsigned group = c < 128 ? mLeadOf[c] : 0;
        if (group == 0) return;
        const LeadGroup& lead = mLeads[group - 1];
        quint32 candidates = lead.single;
        if (i + 1 < size && Code(rest[i + 1]) < 128) candidates |= lead.bySecond[Code(rest[i + 1])];
        for (candidates &= ~seen; candidates != 0; candidates &= candidates - 1) {
            const int e = std::countr_zero(candidates);
            const std::string& marker = mEnds[size_t(e)];
            if (!scanchars::StartsWith(rest + i, size - i, marker)) continue;
            seen |= 1u << e;
            const qsizetype last = qMin(size, i + qsizetype(marker.size()) + 1) - 1;
            if (last > first && IsQuote(rest[last]))
                found[count++] = Found{start, e, first, last - first};
        }
    };
    const qsizetype stop = lastQuote + 1;
    qsizetype i = 0;
    if (stop >= scanchars::CharFinder::kBlock) {
        const scanchars::CharFinder leads(mLeadChars);
        for (; i + leads.kBlock <= stop && seen != mAllEnds; i += leads.kBlock) {
            for (unsigned hits = leads.Block(rest + i); hits != 0; hits &= hits - 1)
                visit(i + std::countr_zero(hits));
            if (i % kPiece == 0) pace(kPiece);  // a fragment of megabytes
        }
    }
    for (; i < stop && seen != mAllEnds; ++i) visit(i);
    return count;
}

// The patterns that found something, in table order, so that each reads the queue as it is
// at that moment.
template <typename Char>
void PageScanner::applyPatterns(const Char* fragment, const Found* found, int count) {
    quint64 patterns = 0;
    for (int k = 0; k < count; ++k)
        patterns |= mPatternsOf[size_t(found[k].start * kMaxEnds + found[k].end)];
    for (; patterns != 0; patterns &= patterns - 1) {
        const Pattern& pattern = mPatterns[size_t(std::countr_zero(patterns))];
        const Found* hit = found;
        while (hit->start != pattern.start || hit->end != pattern.end) ++hit;
        MakeAbsolute(mUrl, fragment + hit->at, hit->size, mBase);
        queueReference(*pattern.target, mUrl);
        pace(kWorkPerAppend);
    }
    pace(qint64(mPatterns.size()));
}

void PageScanner::queueReference(UrlQueue& target, const QString& url) {
    // The queue is read as it is now: the user may have changed it in a yield.
    if (!target.contains(url) && (!mFilter || mFilter(url, &target == &mLinks))) target.append(url);
}

void PageScanner::tokenDone() {
    if (mSideScan) return;
    if (mAnimateIcon) mAnimateIcon();
    // Whatever ran in the icon's turn may have decided to end the program.
    if (mWindows->Ending()) mWindows->Yield();
}

void PageScanner::pace(qint64 work) {
    mWork += work;
    if (mWork < kWorkPerYield || mSideScan) return;
    mWork = 0;
    mWindows->Yield();
}
