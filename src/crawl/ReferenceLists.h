#pragma once
// The lists of references inside attribute values and style sheets: srcset candidates and the
// url(...) of CSS. Pure text work, no parser and no queues, so that anything may be fed in.

#include <QString>
#include <QStringList>
#include <QStringView>
#include <vector>

// One candidate of a srcset list: its URL as written and its descriptor; a candidate without
// one counts as density 1.
struct SrcsetCandidate {
    QString url;
    double width = 0;    // the "w" descriptor, 0 when none
    double density = 1;  // the "x" descriptor
};

// The candidates of a srcset or data-srcset value in order. A URL may hold commas ("w_400,h_300"
// of image CDNs): only a comma after blanks, or at the URL's end, separates candidates.
std::vector<SrcsetCandidate> ParseSrcset(QStringView srcset);

// The largest of the candidates: by width when any of them has a "w" descriptor, else by
// density; the first of equals. Empty text for an empty list.
QString LargestCandidate(const std::vector<SrcsetCandidate>& candidates);

// The references of every url(...) in a style sheet or style attribute, in order, unquoted and
// with CSS escapes of quotes and blanks undone; comments are passed over.
QStringList CssUrls(QStringView css);
