// The key a URL is known by (fetched once, known from earlier runs, robots.txt, scope): whatever
// the text, it is what the plain reading of the rules gives, however the quick ways get there,
// and a key is its own key.

#include <QStringList>
#include <algorithm>

#include "FuzzCheck.h"
#include "core/UrlText.h"

namespace {

QString PlainPath(const QString& path) {
    if (path.isEmpty()) return path;
    QStringList kept;
    bool folder = false;
    for (const QString& piece : path.split(u'/')) {
        folder = piece.isEmpty() || piece == u"." || piece == u"..";
        if (piece == u"..") {
            if (!kept.isEmpty()) kept.removeLast();
        } else if (!folder) {
            kept << piece;
        }
    }
    QString out = path.startsWith(u'/') ? QStringLiteral("/") : QString();
    out += kept.join(u'/');
    return folder && !kept.isEmpty() ? out + u'/' : out;
}

// The plain reading: no fragment; a scheme only where a scheme's name comes before "://"; scheme
// and host in lower case, the user as written; the scheme's own port and empty ones dropped while
// they end the host; the path without empty pieces, "." and "..".
QString PlainKey(QString url) {
    if (const qsizetype hash = url.indexOf(u'#'); hash >= 0) url.truncate(hash);
    const qsizetype scheme = url.indexOf(u"://");
    qsizetype from = 0;
    QString head;
    const auto schemeChar = [](QChar c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
               c == u'+' || c == u'-' || c == u'.';
    };
    const bool named = scheme > 0 && url[0].isLetter() && url[0].unicode() < 0x80 &&
                       std::all_of(url.begin(), url.begin() + scheme, schemeChar);
    if (named) {
        qsizetype end = scheme + 3;
        while (end < url.size() && url[end] != u'/' && url[end] != u'?') ++end;
        const QString name = url.left(scheme).toLower();
        const QString authority = url.mid(scheme + 3, end - scheme - 3);
        const qsizetype at = authority.lastIndexOf(u'@');
        QString host = authority.mid(at + 1).toLower();
        const QString own = name == u"http"    ? QStringLiteral(":80")
                            : name == u"https" ? QStringLiteral(":443")
                            : name == u"ftp"   ? QStringLiteral(":21")
                                               : QString();
        while ((!own.isEmpty() && host.endsWith(own)) || host.endsWith(u':'))
            host.chop(!own.isEmpty() && host.endsWith(own) ? own.size() : 1);
        head = name + QStringLiteral("://") + authority.left(at + 1) + host;
        from = end;
    }
    const qsizetype query = url.indexOf(u'?', from);
    const QString path = url.mid(from, query < 0 ? -1 : query - from);
    return head + PlainPath(path) + (query < 0 ? QString() : url.mid(query));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider data(bytes, size);
    const QString url = ConsumeRestText(data);
    const QString key = UrlKey(url);
    FUZZ_CHECK(key == PlainKey(url));
    FUZZ_CHECK(UrlKey(key) == key);
    return 0;
}
