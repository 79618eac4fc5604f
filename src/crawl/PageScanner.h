#pragma once
// Scanning the lines of a stored page for quoted references to further pages and to images.

#include <QString>
#include <QStringView>
#include <functional>
#include <vector>

class UrlQueue;

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
    // each new reference to its queue. Yields through ws() after every pattern application
    // (so it may throw ProgramEnding).
    void ScanLine(QStringView line, const QString& pageUrl);

    // Asked before a new reference is appended (page: it goes to the link queue); false keeps
    // it out. None: every new reference is appended.
    using Filter = std::function<bool(const QString& url, bool page)>;
    void setFilter(Filter filter) { mFilter = std::move(filter); }

private:
    // One pattern, taken apart once: its markers and the queue its matches go to.
    struct Pattern {
        QString endMarker;
        int startSlot = 0;  // index into mStartMarkers
        int leadSlot = 0;   // index into mEndLeads
        UrlQueue* target = nullptr;
    };

    void ScanToken(QStringView token, const QString& base);
    void ScanFragment(QStringView fragment, const QString& base);

    UrlQueue& mLinks;
    UrlQueue& mImages;
    std::function<void()> mAnimateIcon;
    Filter mFilter;
    std::vector<Pattern> mPatterns;
    // The distinct start markers: each is looked up once per fragment, not once per pattern.
    std::vector<QString> mStartMarkers;
    // The distinct first characters of the end markers.
    std::vector<QChar> mEndLeads;
};
