#!/usr/bin/env python3
"""Writes the soak site: PAGES pages in 100 folders, every one reachable from /d0/p0.html and
linked in cycles (to the next page, to a far page, back towards the start and across its own
folder), with pictures shared between many pages. Every link is absolute (BASE, the server's
http://host:port) or a bare name in the page's own folder: the crawler resolves nothing else
(a path from the root would pile folder upon folder), so the site has exactly PAGES page URLs
and a crawl of it never stops by itself: only a page or time limit ends it.
Usage: gensite.py ROOT BASE [PAGES] [PICTURES]"""
import os
import random
import sys

FOLDERS = 100


def page_path(i):
    return "/d%d/p%d.html" % (i % FOLDERS, i)


def links_of(base, i, pages):
    far = (i * 7 + 13) % pages
    ahead = (i + 1) % pages
    back = i // 2
    sibling = (i + FOLDERS) % pages  # same folder: a bare name
    out = ['<a href="%s%s">ahead</a>' % (base, page_path(ahead)),
           '<a href="%s%s">far</a>' % (base, page_path(far)),
           '<a href="%s%s">back</a>' % (base, page_path(back)),
           '<a href="p%d.html">sibling</a>' % sibling]
    if i % 50 == 0:
        out.append('<a href="%s/d0/p0.html">home</a>' % base)
    return out


def pictures_of(base, i, pictures):
    names = []
    for k in range(3):
        n = (i * 3 + k * 977) % pictures
        names.append("%s/img/i%d.%s" % (base, n, ("jpg", "png", "gif")[n % 3]))
    return ['<img src="%s" width=80>' % name for name in names]


def write_pictures(root, pictures, rnd):
    os.makedirs(os.path.join(root, "img"), exist_ok=True)
    for n in range(pictures):
        # a third of them below the 2000-byte limit, so the small-picture rule has work
        size = rnd.randint(300, 1900) if n % 3 == 0 else rnd.randint(2000, 12000)
        name = "i%d.%s" % (n, ("jpg", "png", "gif")[n % 3])
        with open(os.path.join(root, "img", name), "wb") as f:
            f.write(rnd.randbytes(size))


def main(root, base, pages=20000, pictures=3000, seed=11):
    rnd = random.Random(seed)
    for d in range(FOLDERS):
        os.makedirs(os.path.join(root, "d%d" % d), exist_ok=True)
    filler = " ".join("word%d" % k for k in range(60))
    for i in range(pages):
        lines = ["<html><head><title>page %d</title></head><body>" % i,
                 "<p>%s</p>" % filler]
        lines += links_of(base, i, pages)
        lines.append("<p>%s</p>" % filler)
        lines += pictures_of(base, i, pictures)
        lines.append("</body></html>")
        # CRLF line ends: every line is a line of its own to the crawler
        with open(os.path.join(root, page_path(i).lstrip("/")), "w", newline="") as f:
            f.write("\r\n".join(lines) + "\r\n")
    write_pictures(root, pictures, rnd)


if __name__ == "__main__":
    args = sys.argv[1:]
    if len(args) < 2:
        sys.exit(__doc__)
    pages = int(args[2]) if len(args) > 2 else 20000
    pictures = int(args[3]) if len(args) > 3 else 3000
    main(args[0], args[1].rstrip("/"), pages, pictures)
    print("site: %d pages, %d pictures" % (pages, pictures))
