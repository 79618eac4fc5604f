#include "crawl/HtmlNesting.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The parser checks its bounds only when it asks for memory, which a run of text does not.
constexpr qsizetype kTextRun = 4096;
constexpr std::string_view kBreak = "<!---->";

using Names = std::initializer_list<std::string_view>;

bool OneOf(std::string_view name, Names names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

bool LeftOpen(std::string_view name) {
    return OneOf(name,
                 {"area",   "base",  "basefont", "bgsound",  "br",     "col",  "embed", "frame",
                  "hr",     "image", "img",      "input",    "keygen", "link", "meta",  "param",
                  "source", "track", "wbr",      "html",     "head",   "body", "p",     "li",
                  "dt",     "dd",    "option",   "optgroup", "tr",     "td",   "th",    "tbody",
                  "thead",  "tfoot", "colgroup", "caption",  "rb",     "rt",   "rtc",   "rp"});
}

// Read as text up to their end tag.
bool RawText(std::string_view name) {
    return OneOf(name,
                 {"script", "style", "textarea", "title", "xmp", "iframe", "noembed", "noframes"});
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

class NestingWalk {
public:
    NestingWalk(QByteArrayView html, int maxDepth) : mHtml(html), mMaxDepth(maxDepth) {
        mOut.text.reserve(html.size() + html.size() / kTextRun * qsizetype(kBreak.size()));
    }
    NestedHtml run();

private:
    qsizetype find(std::string_view what, qsizetype from) const {
        const qsizetype at =
            mHtml.indexOf(QByteArrayView(what.data(), qsizetype(what.size())), from);
        return at < 0 ? mHtml.size() : at;
    }
    // The tag's name, lower case, at most 16 characters (longer ones are none of the above).
    std::string_view name(qsizetype at) {
        qsizetype n = 0;
        while (at + n < mHtml.size() && n < qsizetype(mName.size())) {
            const char c = mHtml[at + n];
            if (!IsLetter(c) && !(c >= '0' && c <= '9')) break;
            mName[std::size_t(n++)] = char(c | 0x20);
        }
        return {mName.data(), std::size_t(n)};
    }
    qsizetype tagEnd(qsizetype from, bool* selfClosing) const;
    // False when the page is cut here.
    bool startTag(qsizetype at, qsizetype* next);
    void endTag(qsizetype at, qsizetype* next);
    void copyTo(qsizetype end) {
        mOut.text.append(mHtml.sliced(mCopied, end - mCopied));
        mCopied = end;
    }

    QByteArrayView mHtml;
    int mMaxDepth;
    NestedHtml mOut;
    qsizetype mCopied = 0;
    std::vector<std::string> mOpen;  // the counted elements open, as the parser would have them
    int mForeignAt = 0;              // the depth of the <svg> or <math> the walk is in, 0 when none
    std::array<char, 16> mName{};
};

// The '>' that ends the tag from `from`, quoted attribute values passed over.
qsizetype NestingWalk::tagEnd(qsizetype from, bool* selfClosing) const {
    char quote = 0;
    bool afterEquals = false;
    for (qsizetype i = from; i < mHtml.size(); ++i) {
        const char c = mHtml[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '>') {
            *selfClosing = i > from && mHtml[i - 1] == '/';
            return i;
        } else if ((c == '"' || c == '\'') && afterEquals) {
            quote = c;
        } else if (c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\f') {
            afterEquals = c == '=';
        }
    }
    return mHtml.size();
}

bool NestingWalk::startTag(qsizetype at, qsizetype* next) {
    const std::string tag(name(at + 1));
    bool selfClosing = false;
    const qsizetype end = tagEnd(at + 1 + qsizetype(tag.size()), &selfClosing);
    *next = std::min(end + 1, mHtml.size());
    if (tag == "plaintext") return false;
    if (RawText(tag)) {
        for (qsizetype i = *next; (i = find("</", i)) < mHtml.size(); i += 2)
            if (name(i + 2) == tag) return (*next = i), true;
        *next = mHtml.size();
        return true;
    }
    if (LeftOpen(tag) || (selfClosing && mForeignAt > 0)) return true;
    if (int(mOpen.size()) >= mMaxDepth) {
        mOut.cutAt = at;
        return false;
    }
    mOpen.push_back(tag);
    if (mForeignAt == 0 && (tag == "svg" || tag == "math")) mForeignAt = int(mOpen.size());
    return true;
}

void NestingWalk::endTag(qsizetype at, qsizetype* next) {
    const std::string_view tag = name(at + 2);
    bool selfClosing = false;
    *next = std::min(tagEnd(at + 2, &selfClosing) + 1, mHtml.size());
    if (tag.empty() || LeftOpen(tag) || RawText(tag)) return;
    // An end tag closes its element and those opened in it, as the parser does; one that
    // matches nothing near the top is a stray the parser ignores, and so is it here.
    constexpr std::size_t kNear = 8;
    for (std::size_t k = mOpen.size(); k-- > 0 && mOpen.size() - k <= kNear;) {
        if (mOpen[k] != tag) continue;
        mOpen.resize(k);
        if (int(k) < mForeignAt) mForeignAt = 0;
        return;
    }
}

NestedHtml NestingWalk::run() {
    qsizetype i = 0;
    qsizetype text = 0;  // characters since the last tag or break
    const qsizetype size = mHtml.size();
    while (i < size) {
        const char c = mHtml[i];
        const char after = i + 1 < size ? mHtml[i + 1] : 0;
        if (c != '<' || !(IsLetter(after) || after == '/' || after == '!' || after == '?')) {
            // only before a character of its own: a break never splits a UTF-8 sequence
            if (++text >= kTextRun && static_cast<unsigned char>(c) < 0x80) {
                copyTo(i);
                mOut.text.append(kBreak.data(), qsizetype(kBreak.size()));
                text = 0;
            }
            ++i;
            continue;
        }
        text = 0;
        qsizetype next = i + 1;
        if (after == '!' && mHtml.sliced(i).startsWith("<!--")) {
            next = std::min(find("-->", i + 4) + 3, size);
        } else if (after == '!' || after == '?') {
            bool ignored = false;
            next = std::min(tagEnd(i + 2, &ignored) + 1, size);
        } else if (after == '/') {
            endTag(i, &next);
        } else if (!startTag(i, &next)) {
            copyTo(mOut.cutAt >= 0 ? i : next);
            return std::move(mOut);
        }
        i = next;
    }
    copyTo(size);
    return std::move(mOut);
}

}  // namespace

NestedHtml BoundNesting(QByteArrayView html, int maxDepth) {
    return NestingWalk(html, maxDepth).run();
}
