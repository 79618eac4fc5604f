#include "crawl/ReferenceLists.h"

namespace {

bool IsBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

// One descriptor ("640w", "1.5x"); unknown or broken ones leave the candidate as it is.
void ReadDescriptor(QStringView text, SrcsetCandidate& candidate) {
    if (text.size() < 2) return;
    bool ok = false;
    const double value = text.chopped(1).toDouble(&ok);
    if (!ok || !(value > 0)) return;
    if (text.back() == u'w') candidate.width = value;
    if (text.back() == u'x') candidate.density = value;
}

}  // namespace

std::vector<SrcsetCandidate> ParseSrcset(QStringView srcset) {
    std::vector<SrcsetCandidate> candidates;
    qsizetype i = 0;
    const qsizetype n = srcset.size();
    while (i < n) {
        while (i < n && (IsBlank(srcset[i]) || srcset[i] == u',')) ++i;
        const qsizetype start = i;
        while (i < n && !IsBlank(srcset[i])) ++i;
        QStringView url = srcset.sliced(start, i - start);
        if (url.isEmpty()) break;
        SrcsetCandidate candidate;
        bool descriptors = true;
        if (url.back() == u',') {  // "a.jpg," ends the candidate at once
            while (!url.isEmpty() && url.back() == u',') url.chop(1);
            descriptors = false;
        }
        candidate.url = url.toString();
        // the descriptors run to the next comma that is not inside parentheses
        int depth = 0;
        qsizetype word = i;
        while (descriptors && i <= n) {
            const QChar c = i < n ? srcset[i] : QChar(u',');
            if (c == u'(') ++depth;
            if (c == u')' && depth > 0) --depth;
            if ((IsBlank(c) || (c == u',' && depth == 0)) && i > word)
                ReadDescriptor(srcset.sliced(word, i - word).trimmed(), candidate);
            if (IsBlank(c) || c == u',') word = i + 1;
            ++i;
            if (c == u',' && depth == 0) break;
        }
        if (!candidate.url.isEmpty()) candidates.push_back(std::move(candidate));
    }
    return candidates;
}

QString LargestCandidate(const std::vector<SrcsetCandidate>& candidates) {
    bool byWidth = false;
    for (const SrcsetCandidate& c : candidates) byWidth = byWidth || c.width > 0;
    const SrcsetCandidate* best = nullptr;
    for (const SrcsetCandidate& c : candidates) {
        if (byWidth && c.width <= 0) continue;
        const double size = byWidth ? c.width : c.density;
        if (!best || size > (byWidth ? best->width : best->density)) best = &c;
    }
    return best ? best->url : QString();
}

QStringList CssUrls(QStringView css) {
    QStringList urls;
    qsizetype i = 0;
    while (i < css.size()) {
        if (css.sliced(i).startsWith(u"/*")) {
            const qsizetype end = css.indexOf(u"*/", i + 2);
            if (end < 0) break;
            i = end + 2;
            continue;
        }
        if (!css.sliced(i).startsWith(u"url(", Qt::CaseInsensitive)) {
            ++i;
            continue;
        }
        i += 4;
        while (i < css.size() && IsBlank(css[i])) ++i;
        const QChar quote =
            i < css.size() && (css[i] == u'"' || css[i] == u'\'') ? css[i] : QChar();
        if (!quote.isNull()) ++i;
        QString url;
        for (; i < css.size(); ++i) {
            const QChar c = css[i];
            if (c == u'\\' && i + 1 < css.size()) {
                url += css[++i];
                continue;
            }
            if (quote.isNull() ? (c == u')' || IsBlank(c)) : c == quote) break;
            url += c;
        }
        if (!url.isEmpty()) urls << url;
    }
    return urls;
}
