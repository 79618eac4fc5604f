#pragma once
// A gallery on loopback whose markup has no picture: a script asks a JSON API for the list,
// pictures load only when scrolled into view, more come at the end of the page, a style sheet
// sets a background, and the link to the second page is made by the script too.

#include <QDir>
#include <QFile>
#include <QThread>
#include <string>
#include <vector>

#include "LoopbackSite.h"

// Processes still running (not the remains of ended ones) whose command line holds text: the
// browsers of a test name its folder as their profile's.
inline int LiveProcessesNaming(const QString& text) {
    int live = 0;
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
        QFile cmdline("/proc/" + entry + "/cmdline"), stat("/proc/" + entry + "/stat");
        if (!entry[0].isDigit() || !cmdline.open(QIODevice::ReadOnly) ||
            !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray state = stat.readAll().split(')').last().trimmed().left(1);
        if (cmdline.readAll().contains(text.toUtf8()) && state != "Z") ++live;
    }
    return live;
}

// None of them left within half a second: a killed process may take the system a moment.
inline bool AllEnded(const QString& text) {
    for (int waited = 0; LiveProcessesNaming(text) > 0 && waited < 500; waited += 10)
        QThread::msleep(10);
    return LiveProcessesNaming(text) == 0;
}

inline const std::vector<std::string> kGalleryPictures = {
    "/pics/hero.png", "/pics/a1.png", "/pics/a2.png", "/pics/a3.png",
    "/pics/b1.png",   "/pics/b2.png", "/pics/b3.png", "/pics/second.png"};

inline void ServeScriptedGallery(LoopbackSite& site) {
    site.page("/gallery.html", R"(<!DOCTYPE html><html><head><link rel="stylesheet"
href="/style.css"></head><body><div class="hero"></div><div id="list"></div>
<script src="/gallery.js"></script></body></html>)");
    site.page("/style.css",
              ".hero{height:100px;background-image:url(/pics/hero.png)}"
              ".item{height:700px} img{display:block;width:20px;height:20px}",
              "text/css");
    site.page("/gallery.js", R"(
const list = document.getElementById('list');
const lazy = new IntersectionObserver(seen => seen.forEach(e => {
  if (e.isIntersecting) { e.target.src = e.target.dataset.pic; lazy.unobserve(e.target); }
}));
let next = 1, loading = false;
function more() {
  if (loading || next > 2) return;
  loading = true;
  fetch('/api/list' + next++ + '.json').then(r => r.json()).then(j => {
    for (const name of j.pictures) {
      const item = document.createElement('div'), img = document.createElement('img');
      item.className = 'item'; img.dataset.pic = '/pics/' + name;
      item.appendChild(img); list.appendChild(item); lazy.observe(img);
    }
    loading = false;
    if (next > 2) document.body.insertAdjacentHTML('beforeend', '<a href=/second.html>next</a>');
  });
}
window.addEventListener('scroll', () => {
  if (innerHeight + scrollY >= document.body.scrollHeight - 50) more();
});
more();)",
              "text/javascript");
    SiteRoute list;  // only for a visitor who logged in
    list.body = R"({"pictures": ["a1.png", "a2.png", "a3.png"]})";
    list.contentType = "application/json";
    list.needsCookie = "session=abc";
    site.route("/api/list1.json", list);
    site.page("/api/list2.json", R"({"pictures": ["b1.png", "b2.png", "b3.png"]})",
              "application/json");
    site.page("/second.html", R"(<html><body><script>
document.body.style.backgroundImage = 'url(/pics/second.png)';
</script></body></html>)");
    for (const std::string& path : kGalleryPictures)
        site.page(path, std::string(3000, path[6]), "image/png");
}
