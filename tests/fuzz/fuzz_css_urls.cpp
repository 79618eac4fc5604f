// A style sheet from the input. Its url(...) references are never empty and never more than
// the "url(" it holds; written back as quoted, escaped url() between comments they read as the
// same list, and so they do unquoted with every special character escaped.

#include <QStringList>
#include <string>

#include "FuzzCheck.h"
#include "crawl/ReferenceLists.h"

namespace {

QString Escaped(const QString& url, const QString& special) {
    QString out;
    for (QChar c : url) {
        if (c == u'\\' || special.contains(c)) out += u'\\';
        out += c;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider data(bytes, size);
    const QString css = ConsumeRestText(data);
    const QStringList urls = CssUrls(css);

    FUZZ_CHECK(urls.size() <= css.count(QStringLiteral("url("), Qt::CaseInsensitive));
    for (const QString& url : urls) FUZZ_CHECK(!url.isEmpty());

    QString quoted = QStringLiteral("/* url(x) */");
    QString bare;
    for (const QString& url : urls) {
        quoted += QStringLiteral(".a{background:URL( \"") + Escaped(url, QStringLiteral("\"")) +
                  QStringLiteral("\")}/* url(y) */");
        bare += QStringLiteral("b{x:url(") + Escaped(url, QStringLiteral(" \t\n\r\f)'\"")) +
                QStringLiteral(")}");
    }
    FUZZ_CHECK(CssUrls(quoted) == urls);
    FUZZ_CHECK(CssUrls(bare) == urls);
    return 0;
}
