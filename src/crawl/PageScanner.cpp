#include "crawl/PageScanner.h"

#include <QVarLengthArray>
#include <algorithm>

#include "crawl/ScanPatterns.h"
#include "core/StringTokens.h"
#include "core/UrlQueue.h"
#include "core/WindowSystem.h"

namespace {

bool IsQuote(QChar c) {
    return c == u'"' || c == u'\'';
}

// The reference in the text that follows the start marker: up to and including the first end
// marker and the one character after it, without a leading quote, and only when it ends in a
// quote (which is dropped too). Empty when there is no acceptable reference.
// searchFrom lets a caller that knows where the end marker cannot begin yet skip ahead.
QStringView CutReference(QStringView rest, QStringView endMarker, qsizetype searchFrom = 0) {
    const qsizetype at = rest.indexOf(endMarker, searchFrom);
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
    // The table is taken apart once here, not at every application.
    for (const ScanPattern& p : BuildScanPatterns()) {
        Pattern compiled;
        compiled.endMarker = p.endMarker;
        auto slot = std::find(mStartMarkers.begin(), mStartMarkers.end(), p.startMarker);
        if (slot == mStartMarkers.end()) slot = mStartMarkers.insert(slot, p.startMarker);
        compiled.startSlot = int(slot - mStartMarkers.begin());
        compiled.target = p.target == QLatin1String("lstLink") ? &mLinks : &mImages;
        const QChar lead = p.endMarker.isEmpty() ? QChar() : p.endMarker.front();
        auto leadSlot = std::find(mEndLeads.begin(), mEndLeads.end(), lead);
        if (leadSlot == mEndLeads.end()) leadSlot = mEndLeads.insert(leadSlot, lead);
        compiled.leadSlot = int(leadSlot - mEndLeads.begin());
        mPatterns.push_back(std::move(compiled));
    }
}

void PageScanner::ScanLine(QStringView line, const QString& pageUrl) {
    // A copy: the caller's text may be a queue entry that the user edits during a yield.
    const QString base = ReferenceBase(pageUrl);
    bool blank = false;
    ForEachToken(line, u' ', [&](QStringView token) {
        blank = true;
        ScanToken(token, base);
    });
    if (blank) return;
    // A line without blanks that holds "<" is cut at "<" like a token; any other is one
    // fragment.
    if (line.contains(u'<'))
        ScanToken(line, base);
    else
        ScanFragment(line, base);
}

void PageScanner::ScanToken(QStringView token, const QString& base) {
    bool cut = false;
    ForEachToken(token, u'<', [&](QStringView piece) {
        cut = true;
        ScanFragment(piece, base);
    });
    if (!cut) ScanFragment(token, base);
    if (mAnimateIcon) mAnimateIcon();
}

void PageScanner::ScanFragment(QStringView fragment, const QString& base) {
    // Only the first occurrence of a start marker counts, so it is found once per fragment.
    const qsizetype starts = qsizetype(mStartMarkers.size());
    const qsizetype leads = qsizetype(mEndLeads.size());
    QVarLengthArray<qsizetype, 4> after(starts);
    for (qsizetype i = 0; i < starts; ++i) {
        const qsizetype at = fragment.indexOf(mStartMarkers[size_t(i)]);
        after[i] = at < 0 ? -1 : at + mStartMarkers[size_t(i)].size();
    }
    // Where the first character of each end marker first occurs after each start marker,
    // found on first need: most fragments lack most of them, and then the search is skipped.
    constexpr qsizetype kNotLooked = -2;
    QVarLengthArray<qsizetype, 16> leadAt(starts * leads, kNotLooked);
    WindowSystem& windows = ws();
    for (const Pattern& pattern : mPatterns) {
        const qsizetype from = after[pattern.startSlot];
        if (from >= 0) {
            const QStringView rest = fragment.sliced(from);
            qsizetype& lead = leadAt[pattern.startSlot * leads + pattern.leadSlot];
            if (lead == kNotLooked) lead = rest.indexOf(mEndLeads[size_t(pattern.leadSlot)]);
            const QStringView ref =
                lead < 0 ? QStringView() : CutReference(rest, pattern.endMarker, lead);
            if (!ref.isEmpty()) {
                // The queue is read as it is now: the user may have changed it in a yield.
                const QString url = MakeAbsolute(ref, base);
                if (!pattern.target->contains(url) &&
                    (!mFilter || mFilter(url, pattern.target == &mLinks)))
                    pattern.target->append(url);
            }
        }
        windows.Yield();
    }
}
