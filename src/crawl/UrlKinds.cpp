#include "crawl/UrlKinds.h"

#include <array>
#include <utility>

namespace {

constexpr std::array kPageExtensions = {u".htm", u".html", u".shtml", u".dhtml", u".xhtml"};
constexpr std::array kPictureExtensions = {u".jpg",  u".jpeg", u".gif", u".png",
                                           u".webp", u".avif", u".bmp", u".svg"};
// Files that are neither page nor picture, as sites link them: never fetched. Any extension
// not named here (".php", ".asp", "/my.story") does not say: the content type decides.
constexpr std::array kOtherExtensions = {
    u".pdf",  u".zip", u".gz",   u".tgz", u".bz2",  u".xz",  u".7z",   u".rar",
    u".tar",  u".mp4", u".m4v",  u".mov", u".avi",  u".mkv", u".webm", u".wmv",
    u".flv",  u".mpg", u".mpeg", u".mp3", u".m4a",  u".ogg", u".oga",  u".wav",
    u".flac", u".js",  u".mjs",  u".css", u".json", u".xml", u".rss",  u".atom",
    u".txt",  u".csv", u".exe",  u".msi", u".dmg",  u".iso", u".apk",  u".doc",
    u".docx", u".xls", u".xlsx", u".ppt", u".pptx", u".odt", u".woff", u".woff2",
    u".ttf",  u".otf", u".eot",  u".ico", u".swf",  u".tif", u".tiff", u".psd"};

constexpr std::array<std::pair<const char16_t*, const char16_t*>, 10> kTypes = {{
    {u"text/html", u".html"},
    {u"application/xhtml+xml", u".html"},
    {u"image/jpeg", u".jpg"},
    {u"image/gif", u".gif"},
    {u"image/png", u".png"},
    {u"image/webp", u".webp"},
    {u"image/avif", u".avif"},
    {u"image/bmp", u".bmp"},
    {u"image/x-ms-bmp", u".bmp"},
    {u"image/svg+xml", u".svg"},
}};

template <typename List>
bool Holds(const List& list, QStringView ext) {
    for (const char16_t* e : list)
        if (ext == QStringView(e)) return true;
    return false;
}

}  // namespace

QString PathExtension(QStringView url) {
    qsizetype end = url.size();
    for (QChar stop : {u'#', u'?'}) {
        const qsizetype at = url.first(end).indexOf(stop);
        if (at >= 0) end = at;
    }
    const QStringView path = url.first(end);
    const qsizetype scheme = path.indexOf(u"://");
    const qsizetype slash = path.lastIndexOf(u'/');
    if (scheme >= 0 && slash < scheme + 3) return QString();  // a host alone
    const QStringView last = path.sliced(slash + 1);
    const qsizetype dot = last.lastIndexOf(u'.');
    return dot < 0 ? QString() : last.sliced(dot).toString().toLower();
}

UrlKind KindOfUrl(QStringView url) {
    const QString ext = PathExtension(url);
    if (Holds(kPageExtensions, ext)) return UrlKind::Page;
    if (Holds(kPictureExtensions, ext)) return UrlKind::Picture;
    if (Holds(kOtherExtensions, ext)) return UrlKind::Other;
    return UrlKind::Unknown;
}

QString ExtensionOfType(QStringView contentType) {
    const QStringView type = contentType.left(contentType.indexOf(u';')).trimmed();
    for (const auto& [name, ext] : kTypes)
        if (type.compare(QStringView(name), Qt::CaseInsensitive) == 0)
            return QString::fromUtf16(ext);
    return QString();
}

QString StoredExtension(QStringView url, QStringView contentType, bool pictureOnly) {
    const UrlKind kind = KindOfUrl(url);
    if (kind == UrlKind::Picture) return PathExtension(url);
    if (kind == UrlKind::Page && !pictureOnly) return PathExtension(url);
    if (kind == UrlKind::Other) return QString();
    const QString ext = ExtensionOfType(contentType);
    if (pictureOnly && (ext.isEmpty() || !Holds(kPictureExtensions, ext))) return QString();
    return ext;
}
