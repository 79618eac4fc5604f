// The key a URL is known by (fetched once, known from earlier runs, robots.txt, scope): whatever
// the text, it is what the plain reading of the rules gives, however the quick ways get there,
// and a key is its own key.

#include <QRegularExpression>
#include <QStringList>

#include "FuzzCheck.h"
#include "core/UrlText.h"

namespace {

// The plain reading: no fragment; an authority only after a scheme's name and "://"; scheme and
// host in lower case, the user as written; the scheme's own port and empty ones dropped while
// they end the host; the path without empty pieces, "." and "..", the query as it is.
QString PlainKey(QString url) {
    url.truncate(url.indexOf(u'#') < 0 ? url.size() : url.indexOf(u'#'));
    static const QRegularExpression kAuthority(
        QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*)://"
                       "(([^/?]*@)?)([^/?]*)"));
    const QRegularExpressionMatch m = kAuthority.match(url);
    QString head;
    if (m.hasMatch()) {
        const QString scheme = m.captured(1).toLower();
        QString h = m.captured(4).toLower();
        const QString own = scheme == u"http"    ? QStringLiteral(":80")
                            : scheme == u"https" ? QStringLiteral(":443")
                            : scheme == u"ftp"   ? QStringLiteral(":21")
                                                 : QString();
        while ((!own.isEmpty() && h.endsWith(own)) || h.endsWith(u':'))
            h.chop(!own.isEmpty() && h.endsWith(own) ? own.size() : 1);
        head = scheme + QStringLiteral("://") + m.captured(2) + h;
    }
    const QString rest = url.mid(m.hasMatch() ? m.capturedEnd(0) : 0);
    const qsizetype query = rest.indexOf(u'?') < 0 ? rest.size() : rest.indexOf(u'?');
    const QString path = rest.left(query);
    QStringList kept;
    bool folder = false;
    for (const QString& piece : path.split(u'/')) {
        folder = piece.isEmpty() || piece == u"." || piece == u"..";
        if (piece == u".." && !kept.isEmpty()) kept.removeLast();
        if (!folder) kept << piece;
    }
    if (path.startsWith(u'/')) head += u'/';
    head += kept.join(u'/');
    if (!path.isEmpty() && folder && !kept.isEmpty()) head += u'/';
    return head + rest.mid(query);
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
