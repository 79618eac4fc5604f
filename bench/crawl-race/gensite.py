#!/usr/bin/env python3
"""Writes a test site: a tree of pages without cycles and pictures each referenced once."""
import os
import random
import sys

def main(root, pages=400, pictures=3000, seed=7):
    rnd = random.Random(seed)
    os.makedirs(os.path.join(root, "img"), exist_ok=True)
    per_page = [pictures // pages + (1 if i < pictures % pages else 0) for i in range(pages)]
    exts = ["jpg", "png", "gif"]
    pic = 0
    for i in range(pages):
        folder = os.path.join(root, "d%d" % (i % 10))
        os.makedirs(folder, exist_ok=True)
        lines = ["<html><head><title>page %d</title></head><body>" % i]
        for child in (3 * i + 1, 3 * i + 2, 3 * i + 3):
            if child < pages:
                lines.append('<p><a href="../d%d/p%d.html">page %d</a></p>' % (child % 10, child, child))
        for _ in range(per_page[i]):
            ext = exts[pic % 3]
            name = "%05d.%s" % (pic, ext)
            size = rnd.randint(2048, 60 * 1024)
            with open(os.path.join(root, "img", name), "wb") as f:
                f.write(os.urandom(size))
            lines.append('<img src="../img/%s" width=100>' % name)
            pic += 1
        lines.append("</body></html>")
        with open(os.path.join(folder, "p%d.html" % i), "w") as f:
            f.write("\n".join(lines) + "\n")
    return pic

if __name__ == "__main__":
    pages = int(sys.argv[2]) if len(sys.argv) > 2 else 400
    pictures = int(sys.argv[3]) if len(sys.argv) > 3 else 3000
    n = main(sys.argv[1], pages, pictures)
    print("site: %d pages, %d pictures" % (pages, n))
