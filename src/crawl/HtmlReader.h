#pragma once
// Reading a stored page as HTML, for a crawl of today's markup: the pictures a person sees on it
// (srcset at its largest, lazy attributes, <picture>, CSS backgrounds, og:image, links to full
// size pictures) and the pages it links, as absolute URLs. The parser is Gumbo, an HTML5 one.

#include <QByteArrayView>
#include <QString>
#include <QStringList>

struct HtmlReferences {
    QStringList pictures;  // in document order, each once
    QStringList pages;     // in document order, each once
};

// The references of an HTML page fetched from pageUrl, resolved against its <base href> when
// it has one, fragments dropped. Only http:, https: and file: URLs are given (never data: or
// javascript:), and none whose extension names something that is neither page nor picture.
// The bytes are read as UTF-8.
HtmlReferences ReadHtml(QByteArrayView html, const QString& pageUrl);
