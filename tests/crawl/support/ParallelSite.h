#pragma once
// A site whose crawl never ends by itself: nested folders, pages that link back and forth,
// redirects to pages and pictures, missing pages and pictures, a compressed picture, a slow
// one, optionally one that stalls, and a page with many pictures, so that a crawl with
// transfers ahead has much to fetch ahead and much to drop. Every body differs from the others.

#include <QDir>
#include <QFile>
#include <QMap>
#include <string>

#include "LoopbackSite.h"

inline std::string SitePicture(int seed, int size) {
    std::string bytes(static_cast<std::size_t>(size), '\0');
    for (int i = 0; i < size; ++i) bytes[static_cast<std::size_t>(i)] = char(seed * 31 + i * 13);
    return bytes;
}

inline void BuildParallelSite(LoopbackSite& site, bool withStall) {
    // The start page alone holds the stalled picture (a stall costs seconds); the pages link
    // back to a copy of it without.
    const std::string top =
        "<html><body>\n<a href=\"a/one.html\">one</a>\n<img src=\"img/1.jpg\">\n"
        "<img src=\"img/redir.jpg\"> <a href=\"redir.html\">three</a>\n"
        "<img src=\"img/gone.jpg\"> <a href=\"missing.html\">missing</a>\n";
    const std::string end = "<img src=\"img/slow.png\">\n</body></html>\n";
    site.page("/index.html", top + (withStall ? "<img src=\"img/stall.jpg\">\n" : "") + end);
    site.page("/home.html", top + end);
    site.redirect("/redir.html", "/a/three.html");
    site.redirect("/img/redir.jpg", "/img/2.png");
    site.page("/a/one.html",
              "<img src=\"../img/1.jpg\"> <img src=\"b/3.jpg\">\r\n<a href=\"../home.html\">i</a>"
              "\r\n<a href=\"b/two.html\">two</a> <img src=\"b/packed.gif\">\r\n");
    site.page("/a/b/two.html",
              "<img src=\"4.gif\"> <img src=\"big.jpg\">\n<a href=\"../../home.html\">i</a>\n"
              "<a href=\"../one.html\">one</a> <a href=\"../three.html\">three</a>\n");
    std::string three = "<p>Many pictures</p>\n";
    for (int n = 1; n <= 20; ++n)
        three += "<img src=\"" + site.base() + "/a/pics/p" + std::to_string(n) + ".jpg\">\n";
    three +=
        "<a href=\"../home.html\">i</a> <a href=\"b/two.html\">two</a> "
        "<a href=\"four.html\">four</a>\n";
    site.page("/a/three.html", three);

    site.page("/img/1.jpg", SitePicture(1, 5000), "image/jpeg");
    site.page("/img/2.png", SitePicture(2, 1500), "image/png");
    site.page("/a/b/3.jpg", SitePicture(3, 70000), "image/jpeg");
    site.page("/a/b/4.gif", SitePicture(4, 900), "image/gif");
    site.page("/a/b/big.jpg", SitePicture(5, 600000), "image/jpeg");
    SiteRoute packed;
    packed.body = Gzip(std::string(40000, 'g') + SitePicture(6, 3000));
    packed.contentEncoding = "gzip";
    packed.contentType = "image/gif";
    site.route("/a/b/packed.gif", packed);
    SiteRoute slow;
    slow.body = SitePicture(7, 8000);
    slow.contentType = "image/png";
    slow.delayMs = 150;
    site.route("/img/slow.png", slow);
    SiteRoute stall;
    stall.body = "the first bytes, then nothing";
    stall.stall = true;
    site.route("/img/stall.jpg", stall);
    for (int n = 1; n <= 20; ++n) {
        const std::string path = "/a/pics/p" + std::to_string(n) + ".jpg";
        if (n == 7) continue;  // missing
        if (n == 11) {
            site.redirect(path, "/a/pics/p12.jpg");
            continue;
        }
        site.page(path, SitePicture(10 + n, 1000 + n * 700), "image/jpeg");
    }
    site.page("/img/edited.jpg", SitePicture(40, 2500), "image/jpeg");
}

// Every file of a folder, hidden ones included, with its bytes.
inline QMap<QString, QByteArray> FolderContents(const QString& folder) {
    QMap<QString, QByteArray> contents;
    const QDir dir(folder);
    for (const QString& name :
         dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        QFile file(dir.filePath(name));
        contents.insert(name, file.open(QIODevice::ReadOnly) ? file.readAll() : "<unreadable>");
    }
    return contents;
}
