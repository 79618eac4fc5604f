#pragma once
// What a URL names, as far as its extension says, and the extension an answer's content type
// gives: the naming and sorting of references when pages are read as HTML.

#include <QString>
#include <QStringView>

enum class UrlKind {
    Page,     // .htm, .html, .shtml, .dhtml, .xhtml
    Picture,  // .jpg, .jpeg, .gif, .png, .webp, .avif, .bmp, .svg
    Other,    // something that is neither (.pdf, .zip, .mp4, .js, .css ...): never fetched
    Unknown,  // no extension, or one that does not say: the answer's content type decides
};

// The extension of the URL's path (query and fragment left out), lower case with its dot;
// empty when the last path piece has none.
QString PathExtension(QStringView url);

UrlKind KindOfUrl(QStringView url);

// The extension an answer of this content type is stored under (".html", ".webp" ...); empty
// for a type that is neither page nor picture. Parameters (";charset=...") are ignored.
QString ExtensionOfType(QStringView contentType);

// The extension a fetched body is stored under: the URL's when it names a page or a picture,
// else the content type's; empty when it is to be dropped. pictureOnly: an answer that is not
// a picture is dropped too (an entry of the picture queue).
QString StoredExtension(QStringView url, QStringView contentType, bool pictureOnly);
