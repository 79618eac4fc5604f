#include "crawl/HtmlReader.h"

#include <gumbo.h>

#include <QSet>
#include <QUrl>
#include <initializer_list>
#include <vector>

#include "crawl/GumboArena.h"
#include "crawl/HtmlNesting.h"
#include "crawl/ReferenceLists.h"
#include "crawl/UrlKinds.h"

namespace {

// The picture types a <source type="..."> may name that the viewer shows.
bool ShownType(const QString& type) {
    return type.isEmpty() || !ExtensionOfType(type).isEmpty();
}

// <picture> is newer than the parser's table of tags: it comes as an unknown tag.
bool IsPicture(const GumboElement& e) {
    if (e.tag != GUMBO_TAG_UNKNOWN || e.original_tag.length == 0) return false;
    GumboStringPiece name = e.original_tag;
    gumbo_tag_from_original_text(&name);
    return QByteArrayView(name.data, qsizetype(name.length))
               .compare("picture", Qt::CaseInsensitive) == 0;
}

QString Attribute(const GumboElement& element, const char* name) {
    const GumboAttribute* a = gumbo_get_attribute(&element.attributes, name);
    return a ? QString::fromUtf8(a->value).trimmed() : QString();
}

QString FirstAttribute(const GumboElement& element, std::initializer_list<const char*> names) {
    for (const char* name : names) {
        QString value = Attribute(element, name);
        // a data: placeholder in src is what the lazy attributes stand in for
        if (!value.isEmpty() && !value.startsWith(u"data:", Qt::CaseInsensitive)) return value;
    }
    return QString();
}

using Clock = std::chrono::steady_clock;

class Reader {
public:
    Reader(const QString& pageUrl, Clock::time_point deadline, const std::atomic<bool>* stop)
        : mBase(pageUrl), mDeadline(deadline), mStop(stop) {}

    // False when the walk was given up (see end()).
    bool walk(const GumboNode* node);
    HtmlReferences take() { return std::move(mFound); }

private:
    void element(const GumboElement& e);
    void image(const GumboElement& e);
    void picture(const GumboElement& e);
    void addPicture(const QString& ref);
    void addLink(const QString& ref);
    void addCss(const QString& css) {
        for (const QString& ref : CssUrls(css)) addPicture(ref);
    }
    QString resolve(const QString& ref) const;
    bool outOfBounds();

    QUrl mBase;
    Clock::time_point mDeadline;
    const std::atomic<bool>* mStop;
    unsigned mNodes = 0;
    bool mBaseSeen = false;
    HtmlReferences mFound;
    QSet<QString> mPictures;
    QSet<QString> mPages;
};

QString Reader::resolve(const QString& ref) const {
    if (ref.isEmpty()) return QString();
    const QUrl url = mBase.resolved(QUrl(ref)).adjusted(QUrl::RemoveFragment);
    const QString scheme = url.scheme();
    if (!url.isValid() || (scheme != u"http" && scheme != u"https" && scheme != u"file"))
        return QString();
    return url.toString(QUrl::FullyEncoded);
}

void Reader::addPicture(const QString& ref) {
    const QString url = resolve(ref);
    const UrlKind kind = KindOfUrl(url);
    if (url.isEmpty() || kind == UrlKind::Other || kind == UrlKind::Page) return;
    if (!mPictures.contains(url)) {
        mPictures.insert(url);
        mFound.pictures << url;
    }
}

// A link to a picture is the full-size picture behind a thumbnail.
void Reader::addLink(const QString& ref) {
    const QString url = resolve(ref);
    const UrlKind kind = KindOfUrl(url);
    if (url.isEmpty() || kind == UrlKind::Other) return;
    if (kind == UrlKind::Picture) return addPicture(url);
    if (!mPages.contains(url)) {
        mPages.insert(url);
        mFound.pages << url;
    }
}

// One picture per <img>: the largest srcset candidate, its src (or lazy stand-in) as 1x.
void Reader::image(const GumboElement& e) {
    std::vector<SrcsetCandidate> candidates;
    for (const char* list : {"data-srcset", "srcset"})
        for (SrcsetCandidate& c : ParseSrcset(Attribute(e, list))) candidates.push_back(c);
    const QString src = FirstAttribute(e, {"data-src", "data-original", "data-lazy-src", "src"});
    if (!src.isEmpty()) candidates.push_back({src, 0, 1});
    addPicture(LargestCandidate(candidates));
}

// One picture per <picture>: the largest candidate of a shown type among its sources and <img>.
void Reader::picture(const GumboElement& e) {
    std::vector<SrcsetCandidate> candidates;
    for (unsigned i = 0; i < e.children.length; ++i) {
        const auto* child = static_cast<const GumboNode*>(e.children.data[i]);
        if (child->type != GUMBO_NODE_ELEMENT) continue;
        const GumboElement& c = child->v.element;
        if (c.tag == GUMBO_TAG_SOURCE && ShownType(Attribute(c, "type"))) {
            for (const char* list : {"data-srcset", "srcset"})
                for (SrcsetCandidate& s : ParseSrcset(Attribute(c, list)))
                    if (KindOfUrl(s.url) != UrlKind::Other) candidates.push_back(s);
        } else if (c.tag == GUMBO_TAG_IMG) {
            for (const char* list : {"data-srcset", "srcset"})
                for (SrcsetCandidate& s : ParseSrcset(Attribute(c, list))) candidates.push_back(s);
            const QString src =
                FirstAttribute(c, {"data-src", "data-original", "data-lazy-src", "src"});
            if (!src.isEmpty()) candidates.push_back({src, 0, 1});
        }
    }
    addPicture(LargestCandidate(candidates));
}

void Reader::element(const GumboElement& e) {
    const QString style = Attribute(e, "style");
    if (!style.isEmpty()) addCss(style);
    if (e.tag_namespace == GUMBO_NAMESPACE_SVG) {
        if (e.tag == GUMBO_TAG_IMAGE) addPicture(FirstAttribute(e, {"href", "xlink:href"}));
        return;
    }
    switch (e.tag) {
        case GUMBO_TAG_BASE:
            // only the first <base href> counts, and it counts for the whole page
            if (!mBaseSeen && !Attribute(e, "href").isEmpty()) {
                mBase = mBase.resolved(QUrl(Attribute(e, "href")));
                mBaseSeen = true;
            }
            break;
        case GUMBO_TAG_IMG:
            image(e);
            break;
        case GUMBO_TAG_META:
            if (Attribute(e, "property").compare(u"og:image", Qt::CaseInsensitive) == 0)
                addPicture(Attribute(e, "content"));
            break;
        case GUMBO_TAG_A:
        case GUMBO_TAG_AREA:
            addLink(Attribute(e, "href"));
            break;
        case GUMBO_TAG_FRAME:
        case GUMBO_TAG_IFRAME:
            addLink(Attribute(e, "src"));
            break;
        default:
            break;
    }
}

// Checked every so many nodes: the clock is not read for each.
bool Reader::outOfBounds() {
    constexpr unsigned kNodesPerCheck = 1024;
    if (++mNodes % kNodesPerCheck != 0) return false;
    if (mStop && mStop->load(std::memory_order_relaxed))
        mFound.end = HtmlEnd::Stopped;
    else if (Clock::now() > mDeadline)
        mFound.end = HtmlEnd::OutOfTime;
    return mFound.end != HtmlEnd::Read;
}

bool Reader::walk(const GumboNode* root) {
    std::vector<const GumboNode*> stack{root};  // no recursion: nesting may be deep
    while (!stack.empty()) {
        if (outOfBounds()) return false;
        const GumboNode* node = stack.back();
        stack.pop_back();
        if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE) continue;
        const GumboElement& e = node->v.element;
        if (IsPicture(e)) {
            picture(e);  // its <img> is one of its candidates, not a picture of its own
            continue;
        }
        if (e.tag == GUMBO_TAG_STYLE) {
            for (unsigned i = 0; i < e.children.length; ++i) {
                const auto* text = static_cast<const GumboNode*>(e.children.data[i]);
                if (text->type == GUMBO_NODE_TEXT) addCss(QString::fromUtf8(text->v.text.text));
            }
        } else {
            element(e);
        }
        for (unsigned i = e.children.length; i-- > 0;)
            stack.push_back(static_cast<const GumboNode*>(e.children.data[i]));
    }
    return true;
}

// <base href> counts for references before it too: it is looked for first, before <body>.
const GumboNode* FindBase(const GumboNode* root) {
    std::vector<const GumboNode*> stack{root};
    while (!stack.empty()) {
        const GumboNode* node = stack.back();
        stack.pop_back();
        if (node->type != GUMBO_NODE_ELEMENT) continue;
        const GumboElement& e = node->v.element;
        if (e.tag == GUMBO_TAG_BASE && gumbo_get_attribute(&e.attributes, "href")) return node;
        if (e.tag == GUMBO_TAG_BODY) continue;
        for (unsigned i = e.children.length; i-- > 0;)
            stack.push_back(static_cast<const GumboNode*>(e.children.data[i]));
    }
    return nullptr;
}

QString EndNote(HtmlEnd end, const HtmlBounds& bounds) {
    switch (end) {
        case HtmlEnd::OutOfMemory:
            return QStringLiteral("reading as HTML given up past %1 MiB")
                .arg(bounds.maxParseBytes >> 20);
        case HtmlEnd::OutOfTime:
            return QStringLiteral("reading as HTML given up after %1 s")
                .arg(double(bounds.maxTime.count()) / 1000);
        case HtmlEnd::Stopped:
            return QStringLiteral("reading as HTML stopped");
        case HtmlEnd::Read:
            break;
    }
    return QString();
}

HtmlEnd EndOf(ParseEnd end) {
    switch (end) {
        case ParseEnd::OutOfMemory:
            return HtmlEnd::OutOfMemory;
        case ParseEnd::OutOfTime:
            return HtmlEnd::OutOfTime;
        case ParseEnd::Stopped:
            return HtmlEnd::Stopped;
        case ParseEnd::Finished:
            break;
    }
    return HtmlEnd::Read;
}

}  // namespace

HtmlReferences ReadHtml(QByteArrayView html, const QString& pageUrl, const HtmlBounds& bounds) {
    QStringList notes;
    if (html.size() > bounds.maxBytes) {
        notes
            << QStringLiteral("read as HTML up to byte %1; the rest was left").arg(bounds.maxBytes);
        html = html.first(bounds.maxBytes);
    }
    const NestedHtml nested = BoundNesting(html, bounds.maxDepth);
    if (nested.cutAt >= 0)
        notes << QStringLiteral("nested deeper than %1 elements at byte %2; the rest was left")
                     .arg(bounds.maxDepth)
                     .arg(nested.cutAt);
    const Clock::time_point deadline = Clock::now() + bounds.maxTime;
    GumboArena arena({bounds.maxParseBytes, deadline, bounds.stop});
    const GumboOutput* output = arena.parse(nested.text.constData(), size_t(nested.text.size()));
    HtmlReferences found;
    if (output) {
        Reader reader(pageUrl, deadline, bounds.stop);
        const GumboNode* base = FindBase(output->root);
        if (!base || reader.walk(base)) reader.walk(output->root);
        found = reader.take();
    } else {
        found.end = EndOf(arena.end());
        found.parsed = false;
    }
    if (found.end != HtmlEnd::Read) notes << EndNote(found.end, bounds);
    found.note = notes.join(QStringLiteral("; "));
    return found;
}
