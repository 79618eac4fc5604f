#!/usr/bin/python3
"""A loopback web server for the window-responsiveness phases.

  /big.html     one line of about 5 MB: 7,000 links and 7,000 pictures (the pictures are slow)
  /today.html   about 5 MB of today's markup (srcset, <picture>, lazy attributes, CSS
                backgrounds, pages without extensions) whose pictures are all slow
  /slow/N.jpg   4 KB of picture, 256 bytes every 50 ms
  /bomb.html    a gzip-encoded page that unpacks to 1 GB
  /stall.html   headers and a few bytes, then nothing more
  /links.html   300,000 links, one a line
  /cycle/N.html seven small pages in a cycle, each with three pictures of 3 KB
  /tiny/N.html  the same cycle with pictures of 100 bytes (deleted as small)
  /busy.html    a page whose script runs for 3 s before it shows its slow picture
  anything else a small page with no links
Usage: phase_server.py PORTFILE  (writes the port it listens on; logs requested paths to stderr)"""
import http.server
import socketserver
import struct
import sys
import time
import zlib

JPEG_HEAD = b"\xff\xd8\xff\xe0" + b"\0" * 252
PNG_HEAD = b"\x89PNG\r\n\x1a\n"


def big_page():
    parts = ["<html><body>"]
    for i in range(7000):
        parts.append(f'<a href="/page/{i}.html">page {i}</a><img src="/slow/{i}.jpg">')
    line = "".join(parts)
    pad = 5_000_000 - len(line)
    return (line + "x" * max(pad, 0) + "</body></html>\n").encode()


def today_page():
    parts = ["<!DOCTYPE html><html><head><style>.hero{background:url(/slow/hero.jpg)}</style>"
             '<meta property="og:image" content="/slow/og.jpg"></head><body>']
    i = size = 0
    while size < 5_000_000:
        parts.append(
            f'<figure><picture><source type="image/webp" srcset="/slow/{i}-s.webp 1x, '
            f'/slow/{i}-l.webp 2x"><img src="/slow/{i}.jpg" srcset="/slow/{i}-400.jpg 400w, '
            f'/slow/{i}-1600.jpg 1600w" loading="lazy" alt="picture {i}"></picture>'
            f'<img data-src="/slow/{i}-lazy.jpg" src="/slow/blank.gif">'
            f'<div style="background-image:url(\'/slow/{i}-bg.png\')"></div>'
            f'<figcaption><a href="/post/{i}/">post {i}</a> &amp; '
            f'<a href="/gallery?page={i}">more</a></figcaption></figure>\n')
        size += len(parts[-1])
        i += 1
    return ("".join(parts) + "</body></html>\n").encode()


def bomb():
    # After a full flush the packer starts afresh, so one packed megabyte repeats as it is;
    # the trailer is then made to match the whole.
    packer = zlib.compressobj(9, zlib.DEFLATED, 31)  # gzip framing
    chunk = b"a" * (1 << 20)
    head = packer.compress(chunk) + packer.flush(zlib.Z_FULL_FLUSH)
    again = packer.compress(chunk) + packer.flush(zlib.Z_FULL_FLUSH)
    tail = packer.flush()[:-8]
    count = 1024
    crc = 0
    for _ in range(count):
        crc = zlib.crc32(chunk, crc)
    trailer = struct.pack("<II", crc, (count << 20) & 0xFFFFFFFF)
    return head + again * (count - 1) + tail + trailer


def links_page():
    return "".join(f'<a href="/l/{i}.html">l</a>\n' for i in range(300_000)).encode()


PAGES = {}


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    disable_nagle_algorithm = True  # headers and body go out at once: no 40 ms stalls

    def log_message(self, fmt, *args):
        sys.stderr.write(f"{time.monotonic():.3f} {self.path}\n")
        sys.stderr.flush()

    def send_body(self, body, ctype="text/html", extra=()):
        self.send_response(200)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        for k, v in extra:
            self.send_header(k, v)
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        try:
            self.route()
        except (BrokenPipeError, ConnectionResetError):
            pass

    def route(self):
        p = self.path
        if p == "/big.html":
            self.send_body(PAGES["big"])
        elif p == "/today.html":
            self.send_body(PAGES["today"])
        elif p.startswith("/slow/"):
            self.send_response(200)
            self.send_header("Content-Type", "image/jpeg")
            self.send_header("Content-Length", str(16 * 256))
            self.end_headers()
            for _ in range(16):
                self.wfile.write(JPEG_HEAD)
                self.wfile.flush()
                time.sleep(0.05)
        elif p == "/busy.html":
            self.send_body(b"<body><script>const end = Date.now() + 3000;"
                           b"while (Date.now() < end) {}"
                           b"document.body.innerHTML = '<img src=/slow/busy.jpg>';</script>")
        elif p == "/bomb.html":
            self.send_body(PAGES["bomb"], extra=[("Content-Encoding", "gzip")])
        elif p == "/stall.html":
            self.send_response(200)
            self.send_header("Content-Type", "text/html")
            self.send_header("Content-Length", "100000")
            self.end_headers()
            self.wfile.write(b"<html>")
            self.wfile.flush()
            time.sleep(3600)
        elif p == "/links.html":
            self.send_body(PAGES["links"])
        elif p.startswith(("/cycle/", "/tiny/")):
            self.cycle(p)
        else:
            self.send_body(b"<html><body>nothing here</body></html>\n")


    def cycle(self, p):
        # a fast site: every answer at once, the pages linking round for ever
        folder, name = p[1:].split("/", 1)
        if name.endswith(".html"):
            n = int(name[:-5]) if name[:-5].isdigit() else 0
            pics = "".join(f'<img src="p{n}-{k}.png">' for k in range(3))
            body = f'<html><body>{pics}<a href="{(n + 1) % 7}.html">next</a></body></html>\n'
            self.send_body(body.encode())
        else:
            size = 3000 if folder == "cycle" else 100
            self.send_body(PNG_HEAD + b"\0" * (size - len(PNG_HEAD)), "image/png")


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


def main():
    PAGES["big"] = big_page()
    PAGES["today"] = today_page()
    PAGES["bomb"] = bomb()
    PAGES["links"] = links_page()
    server = Server(("127.0.0.1", 0), Handler)
    with open(sys.argv[1] + ".tmp", "w") as f:
        f.write(str(server.server_address[1]))
    import os
    os.rename(sys.argv[1] + ".tmp", sys.argv[1])
    server.serve_forever()


if __name__ == "__main__":
    main()
