#include "core/UrlText.h"

#include <QStringList>
#include <algorithm>
#include <vector>

namespace {

// A letter, then letters, digits, "+", "-" or ".": what comes before a "://" that is not a
// scheme's name names none, and the text is all path.
bool IsSchemeName(QStringView name) {
    const auto letter = [](QChar c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
    };
    if (name.isEmpty() || !letter(name.front())) return false;
    return std::all_of(name.begin(), name.end(), [&letter](QChar c) {
        return letter(c) || (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.';
    });
}

UrlParts Split(const QString& url) {
    UrlParts p;
    QString rest = url;
    const qsizetype hash = rest.indexOf(u'#');
    if (hash >= 0) rest.truncate(hash);
    const qsizetype scheme = rest.indexOf(u"://");
    qsizetype from = 0;
    if (scheme > 0 && IsSchemeName(QStringView(rest).left(scheme))) {
        p.scheme = rest.left(scheme).toLower();
        p.hasAuthority = true;
        from = scheme + 3;
        qsizetype end = from;
        while (end < rest.size() && rest[end] != u'/' && rest[end] != u'?') ++end;
        p.authority = rest.mid(from, end - from);
        from = end;
    }
    const qsizetype query = rest.indexOf(u'?', from);
    p.path = query < 0 ? rest.mid(from) : rest.mid(from, query - from);
    if (query >= 0) p.query = rest.mid(query);
    return p;
}

// The port a scheme has when none is named, with its colon; empty for the others.
QStringView OwnPort(QStringView scheme) {
    if (scheme == u"http") return u":80";
    if (scheme == u"https") return u":443";
    if (scheme == u"ftp") return u":21";
    return {};
}

// Host and port in lower case, the scheme's own port dropped.
QString NormalAuthority(const UrlParts& p) {
    const qsizetype at = p.authority.lastIndexOf(u'@');
    const QString user = at < 0 ? QString() : p.authority.left(at + 1);
    QString hostPort = p.authority.mid(at + 1).toLower();
    const QStringView port = OwnPort(p.scheme);
    // as often as they end it, so that a key is its own key ("h:80:" and "h::" are "h")
    for (bool chopped = true; chopped;) {
        chopped = false;
        if (!port.isEmpty() && hostPort.endsWith(port)) {
            hostPort.chop(port.size());
            chopped = true;
        }
        if (hostPort.endsWith(u':')) {
            hostPort.chop(1);
            chopped = true;
        }
    }
    return user + hostPort;
}

// "a//b/./c/../d" -> "a/b/d"; a final "/", "." or ".." leaves the path ending in "/". In one
// pass over the text, each piece kept appended where it goes: every picture's key takes it.
QString NormalPath(const QString& path) {
    if (path.isEmpty()) return path;
    QString out;
    out.reserve(path.size() + 1);
    if (path.startsWith(u'/')) out += u'/';
    const qsizetype root = out.size();
    std::vector<qsizetype> kept;  // where each piece kept begins in out, its '/' included
    bool folder = false;
    for (qsizetype from = 0;;) {
        qsizetype end = path.indexOf(u'/', from);
        const bool last = end < 0;
        if (last) end = path.size();
        const QStringView piece = QStringView(path).mid(from, end - from);
        folder = piece.isEmpty() || piece == u"." || piece == u"..";
        if (piece == u"..") {
            if (!kept.empty()) {
                out.truncate(kept.back());
                kept.pop_back();
            }
        } else if (!folder) {
            kept.push_back(out.size());
            if (out.size() > root) out += u'/';
            out += piece;
        }
        if (last) break;
        from = end + 1;
    }
    if (folder && !kept.empty()) out += u'/';
    return out;
}

bool IsAsciiLowerOrOther(QStringView text) {
    for (const QChar c : text)
        if (c.unicode() > 0x7F || (c >= u'A' && c <= u'Z')) return false;
    return true;
}

// No empty piece but the root's and the last, and no "." or "..": NormalPath keeps it as it is.
bool IsNormalPath(QStringView path) {
    const bool rooted = path.startsWith(u'/');
    qsizetype from = rooted ? 1 : 0;
    for (;;) {
        qsizetype end = path.indexOf(u'/', from);
        const bool last = end < 0;
        if (last) end = path.size();
        const QStringView piece = path.mid(from, end - from);
        if (piece == u"." || piece == u"..") return false;
        if (last) return true;
        if (piece.isEmpty()) return false;
        from = end + 1;
    }
}

// A port NormalAuthority keeps as it is, colon first: digits, and not the scheme's own port.
bool IsKeptPort(QStringView scheme, QStringView port) {
    if (port.size() < 2 ||
        !std::all_of(port.begin() + 1, port.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return false;
    return port != OwnPort(scheme);
}

// True when UrlKey gives url back unchanged, as it does for nearly every link a scan resolved:
// a lower-case scheme and host without user, and without port or with one that stays, no
// fragment, and a path already normal. Anything else takes the full way.
bool IsAlreadyKey(const QString& url) {
    const qsizetype scheme = url.indexOf(u"://");
    if (scheme <= 0 || !IsSchemeName(QStringView(url).left(scheme)) || url.contains(u'#'))
        return false;
    qsizetype end = scheme + 3;
    while (end < url.size() && url[end] != u'/' && url[end] != u'?') ++end;
    const QStringView head = QStringView(url).left(end);
    if (!IsAsciiLowerOrOther(head) || head.indexOf(u'@', scheme) >= 0) return false;
    const qsizetype colon = head.indexOf(u':', scheme + 1);
    if (colon >= 0 &&
        (head.indexOf(u':', colon + 1) >= 0 || !IsKeptPort(head.left(scheme), head.mid(colon))))
        return false;
    const qsizetype query = url.indexOf(u'?', end);
    const QStringView path = QStringView(url).mid(end, (query < 0 ? url.size() : query) - end);
    return path.isEmpty() || IsNormalPath(path);
}

}  // namespace

UrlParts SplitUrl(const QString& url) {
    return Split(url);
}

QString UrlKey(const QString& url) {
    if (IsAlreadyKey(url)) return url;
    const UrlParts p = Split(url);
    if (!p.hasAuthority) return NormalPath(p.path) + p.query;
    return p.scheme + QStringLiteral("://") + NormalAuthority(p) + NormalPath(p.path) + p.query;
}

QString UrlHost(const QString& url) {
    const UrlParts p = Split(url);
    QString host = p.authority.mid(p.authority.lastIndexOf(u'@') + 1).toLower();
    // a bracketed IPv6 address keeps its colons
    const qsizetype colon = host.lastIndexOf(u':');
    if (colon >= 0 && colon > host.lastIndexOf(u']')) host.truncate(colon);
    return host;
}

bool IsWebUrl(const QString& url) {
    return url.startsWith(QStringLiteral("http://"), Qt::CaseInsensitive) ||
           url.startsWith(QStringLiteral("https://"), Qt::CaseInsensitive);
}

bool IsFileUrl(const QString& url) {
    return url.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive);
}
