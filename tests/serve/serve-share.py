#!/usr/bin/env python3
"""What glyphtint-serve gives for sharing a name: the page's link-preview tags (read with
an HTML parser), the card, the /n/ addresses, CORS, download names, the URL parameters'
messages and --public-url.
usage: serve-share.py BIN_DIR"""
import html.parser
import http.client
import os
import struct
import subprocess
import sys
import urllib.parse
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from servetest import FAILURES, Server, check  # noqa: E402

BIN = sys.argv[1]
HOSTILE = "^1m00\"><script>alert(1)</script>' & <b>&amp;"


def get(server, path, headers=None):
    connection = server.connection()
    connection.request("GET", path, headers=headers or {})
    response = connection.getresponse()
    return response, response.read()


def quoted(text):
    return urllib.parse.quote(text, safe="")


class Head(html.parser.HTMLParser):
    """The page's title, its <meta> tags by name or property, and every script element."""

    def __init__(self):
        super().__init__()
        self.title, self.meta, self.scripts, self.in_title = "", {}, [], False

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "meta" and ("name" in attrs or "property" in attrs):
            self.meta[attrs.get("name") or attrs.get("property")] = attrs.get("content")
        self.in_title = tag == "title"
        if tag == "script":
            self.scripts.append(attrs)

    def handle_endtag(self, tag):
        self.in_title = False

    def handle_data(self, data):
        if self.in_title:
            self.title += data


def head_of(server, query):
    response, body = get(server, "/" + query)
    parsed = Head()
    parsed.feed(body.decode())
    return response, parsed


def link_previews():
    server = Server(BIN, "--public-url", "HTTPS://names.example/g")
    _, info = get(server, "/info.json?text=" + quoted(HOSTILE))
    plain = __import__("json").loads(info)["text"]
    response, page = head_of(server, "?text=" + quoted(HOSTILE))
    check(page.title == plain and page.meta.get("og:title") == plain, "title and og:title %r" % page.title)
    check(page.scripts == [{"src": "page.js", "defer": None}], "the hostile text made a script: %r" % page.scripts)
    check(page.meta.get("glyphtint:public-url") == "https://names.example/g/", "the public address for the page")
    check(page.meta.get("twitter:card") == "summary_large_image", "a large card with an image")
    image = urllib.parse.urlsplit(page.meta.get("og:image", ""))
    check(image[:3] == ("https", "names.example", "/g/card.png") and
          urllib.parse.parse_qs(image.query)["text"] == [HOSTILE], "og:image %r" % (image,))
    check(page.meta.get("og:url") == "https://names.example/g/?text=" + quoted(HOSTILE), "og:url")
    # The image names the pack: it is fetched once and kept.
    card, _ = get(server, image.path[2:] + "?" + image.query)
    check(card.status == 200 and "immutable" in card.getheader("Cache-Control"), "og:image is a lasting card")
    other, _ = head_of(server, "?text=m01")
    check(other.getheader("ETag") != response.getheader("ETag") and
          "immutable" not in response.getheader("Cache-Control"), "the page's tag covers its text")
    _, bare = head_of(server, "")
    check(bare.title == "glyphtint" and bare.meta.get("og:title") == "glyphtint", "the page without a text")
    check(server.stop() == 0, "SIGTERM exits 0")

    server = Server(BIN)
    _, page = head_of(server, "?text=%5E1m00")
    check(page.title == "m00" and "og:image" not in page.meta and "og:url" not in page.meta and
          page.meta.get("twitter:card") == "summary", "no image without --public-url: %r" % page.meta)
    check(page.meta.get("glyphtint:public-url") == "", "an empty public address")
    check(server.stop() == 0, "SIGTERM exits 0")


def png_pixels(data):
    """Width, height and rows of (r, g, b) of an 8-bit RGB PNG without interlacing."""
    width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", data[16:29])
    assert (depth, colour, interlace) == (8, 2, 0), "an 8-bit RGB PNG"
    chunks, at = b"", 8
    while at < len(data):
        size, kind = struct.unpack(">I4s", data[at:at + 8])
        if kind == b"IDAT":
            chunks += data[at + 8:at + 8 + size]
        at += 12 + size
    raw, stride, rows, previous = zlib.decompress(chunks), width * 3, [], bytearray(width * 3)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 3] if i >= 3 else 0
            b, c = previous[i], previous[i - 3] if i >= 3 else 0
            p = a + b - c
            predicted = (0, a, b, (a + b) // 2,
                         a if abs(p - a) <= abs(p - b) and abs(p - a) <= abs(p - c) else b if abs(p - b) <= abs(p - c)
                         else c)[kind]
            line[i] = (line[i] + predicted) & 255
        rows.append([tuple(line[x * 3:x * 3 + 3]) for x in range(width)])
        previous = line
    return width, height, rows


def luminance(colour):
    def channel(value):
        value /= 255
        return value / 12.92 if value <= 0.04045 else ((value + 0.055) / 1.055) ** 2.4
    r, g, b = map(channel, colour)
    return 0.2126 * r + 0.7152 * g + 0.0722 * b


def contrast(a, b):
    high, low = sorted((luminance(a), luminance(b)), reverse=True)
    return (high + 0.05) / (low + 0.05)


def cards():
    server = Server(BIN)
    # Each run alone on a card: the darkest tints, which the dark card would swallow.
    for code in "04jp?>":
        response, body = get(server, "/card.png?text=" + quoted("^%sMm0" % code))
        width, height, rows = png_pixels(body)
        check(response.status == 200 and (width, height) == (1200, 630), "the card's size for ^" + code)
        background = rows[0][0]
        drawn = {pixel for row in rows for pixel in row if pixel != background}
        best = max((contrast(pixel, background) for pixel in drawn), default=1)
        check(best >= 3, "^%s on the card: at most %.2f:1" % (code, best))
        columns = [x for x in range(width) if any(rows[y][x] != background for y in range(height))]
        lines = [y for y in range(height) if any(pixel != background for pixel in rows[y])]
        check(columns and abs(columns[0] - (width - 1 - columns[-1])) <= 1 and
              lines[0] >= 60 and lines[-1] < height - 60 and columns[-1] - columns[0] > 600,
              "^%s: the name scaled up and centred" % code)
    tags = {get(server, "/card.png?text=m00" + scale)[0].getheader("ETag") for scale in ("", "&scale=8")}
    check(len(tags) == 1, "scale= is no part of a card")
    light, body = get(server, "/card.png?text=m00&background=ffffff")
    check(light.status == 200 and png_pixels(body)[2][0][0] == (255, 255, 255), "the card takes background=")
    response, body = get(server, "/card.png?text=" + "M" * 200)
    check(response.status == 413 and b"too wide for a card" in body, "a name too wide: %r" % body)
    check(server.stop() == 0, "SIGTERM exits 0")


def addresses_cors_and_names():
    server = Server(BIN)
    for text in ("^1m00", "a+b c/d%e^^", "^4x.png"):
        for query_form, path_form in (("strip.png", ".png"), ("framed.jpg", ".jpg")):
            for style in ("", "&scale=2&background=1e1e1e"):
                query, body = get(server, "/%s?text=%s%s" % (query_form, quoted(text), style))
                path, same = get(server, "/n/%s%s?%s" % (quoted(text), path_form, style[1:]))
                check(query.status == path.status == 200 and body == same and
                      query.getheader("ETag") == path.getheader("ETag"),
                      "/n/ of %r%s is the query form's %s" % (text, style, query_form))
    plus, _ = get(server, "/n/a+b.png")
    check(plus.getheader("ETag") != get(server, "/strip.png?text=a+b")[0].getheader("ETag"), "'+' in a path")
    response, body = get(server, "/n/m00.png?text=x")
    check(response.status == 400 and b"text= is not taken" in body, "a text in the path and in the query")
    response, _ = get(server, "/strip.png?text=" + quoted("^1m00 ^7says"))
    check(response.getheader("Content-Disposition") == 'inline; filename="m00_says.png"', "the strip's file name")
    response, _ = get(server, "/n/%5E1m00.jpg")
    check(response.getheader("Content-Disposition") == 'inline; filename="m00.jpg"', "the framed picture's file name")
    tag = response.getheader("ETag")
    cors = {"/strip.png?text=a": 200, "/framed.jpg?text=a": 200, "/card.png?text=a": 200, "/n/a.png": 200,
            "/info.json?text=a": 200, "/colours.json": 200, "/strip.png?text=a&scale=0": 400}
    for path, status in cors.items():
        response, _ = get(server, path)
        check(response.status == status and response.getheader("Access-Control-Allow-Origin") == "*",
              "CORS on " + path)
    response, _ = get(server, "/n/%5E1m00.jpg", {"If-None-Match": tag})
    check(response.status == 304 and response.getheader("Access-Control-Allow-Origin") == "*", "CORS on a 304")
    for path in ("/", "/?text=a", "/page.js", "/healthz"):
        response, _ = get(server, path)
        check(response.getheader("Access-Control-Allow-Origin") is None, "no CORS on " + path)

    # The wording of each is RenderOptionsTest's; here, that the service names parameters.
    for query, message in (("background=", "background= takes glyph, transparent or a colour such as 1e1e1e or "
                                           "%231e1e1e, not ''"),
                           ("page=ffffff", "page= names the page under a transparent strip: give it with "
                                           "background=transparent.")):
        response, body = get(server, "/strip.png?text=a&" + query)
        check(response.status == 400 and body.decode().strip() == message, "%s: %r" % (query, body))
    response, body = get(server, "/strip.png?text=" + "a" * 4097)
    check(response.status == 413 and body.startswith(b"text= is longer than 4096 bytes"), "text=: %r" % body[:60])
    check(server.stop() == 0, "SIGTERM exits 0")


def public_url_refused():
    run = subprocess.run([os.path.join(BIN, "glyphtint-serve"), "--public-url", "https://x/?a"], capture_output=True)
    check(run.returncode == 2 and b"--public-url takes" in run.stderr, "--public-url: %r" % run.stderr)


link_previews()
cards()
addresses_cors_and_names()
public_url_refused()
print("%d failed" % len(FAILURES))
sys.exit(1 if FAILURES else 0)
