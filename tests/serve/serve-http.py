#!/usr/bin/env python3
"""glyphtint-serve on a loopback port, driven with a real HTTP client: its pictures are
glyphtint-render's, byte for byte; caching, methods, bad queries, SIGHUP, SIGTERM and
many clients at once.
usage: serve-http.py BIN_DIR [many-clients]
  many-clients: only the 16 clients at once (run against a ThreadSanitizer build)"""
import http.client
import json
import locale
import re
import select
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from servetest import FAILURES, Server, check  # noqa: E402

BIN = sys.argv[1]
SCRATCH = tempfile.mkdtemp()


def get(connection, path, method="GET", headers=None):
    connection.request(method, path, headers=headers or {})
    response = connection.getresponse()
    return response, response.read()


def url(where, text, style=None, **more):
    query = {"text": text}
    query.update(style or {})
    query.update(more)
    return "/" + where + "?" + urllib.parse.urlencode(query, quote_via=urllib.parse.quote)


def cli(option, text, style):
    """What glyphtint-render writes for text (or its exit status and message)."""
    source = os.path.join(SCRATCH, "text")
    with open(source, "wb") as f:
        f.write(text)
    out = os.path.join(SCRATCH, "out")
    if os.path.exists(out):
        os.remove(out)
    arguments = [os.path.join(BIN, "glyphtint-render"), "--text-file", source]
    for name, value in style.items():
        arguments += ["--" + name, value]
    arguments += [option] + ([] if option == "--info" else [out])
    run = subprocess.run(arguments, capture_output=True)
    if run.returncode != 0:
        return None, run.stderr.decode().strip()
    if option == "--info":
        return run.stdout.decode("latin-1"), ""
    with open(out, "rb") as f:
        return f.read(), ""


def same_as_cli(server):
    """Every text of the table, as strip, framed picture and description."""
    texts = [b"^1m00", b"caf\xe9 \xff^2x\x80", b"^^ and ^^^^", b"", b"^1^2^3", b"a\"b%c;\\ \xc3\xa9 \xf0\x9f\x98\x80z",
             b"nul\x00byte", b"x" * 4096, b"^" * 4096]
    styles = [{}, {"scale": "3", "background": "transparent", "page": "#ffffff", "min-contrast": "4.5"},
              {"background": "#1e1e1e", "min-contrast": "3"}]
    connection = server.connection()
    for text in texts:
        for style in styles:
            for page, option in (("strip.png", "--strip"), ("framed.jpg", "--framed")):
                response, body = get(connection, url(page, text, style))
                expected, message = cli(option, text, style)
                what = "%s of %r with %s" % (page, text[:20], style)
                if expected is None:
                    check(400 <= response.status < 500, what + ": status %d for the CLI's failure" % response.status)
                    check(body.decode().strip() == message, what + ": %r, the CLI said %r" % (body[:80], message))
                else:
                    check(response.status == 200 and body == expected, what + ": not the CLI's bytes")
            response, body = get(connection, url("info.json", text, style))
            described, _ = cli("--info", text, style)
            fields = dict(line.split(": ", 1) for line in described.splitlines())
            info = json.loads(body)
            check(response.getheader("Content-Type") == "application/json", "info.json's type")
            check([info["bytes"], info["visible"], info["not_drawn"]] ==
                  [int(fields["bytes"]), int(fields["visible"]), int(fields["not drawn"])], "info of %r" % text[:20])
            check(info["text"].encode("latin-1") == fields["text"].encode("latin-1"), "info text of %r" % text[:20])
            check(info["runs"] == json.loads(fields["runs"]), "colour runs of %r with %s" % (text[:20], style))
            if "min-contrast" in style:
                check(info["adjusted"] == json.loads(fields["adjusted"]), "adjusted codes of %r" % text[:20])
    # Past --max-text-bytes (4096 by default), refused with the message, and the
    # connection serves the next request.
    response, body = get(connection, url("strip.png", b"x" * 4097))
    check(response.status == 413 and b"longer than 4096 bytes" in body, "a text over the limit: %d" % response.status)
    response, body = get(connection, url("strip.png", b"ok"))
    check(response.status == 200, "the request after a text over the limit")


def requests_and_errors(server):
    connection = server.connection()
    response, body = get(connection, url("strip.png", "^1m00"))
    tag = response.getheader("ETag")
    check(response.status == 200 and tag and tag.startswith('"'), "a strong ETag")
    check(response.getheader("Cache-Control") == "public, max-age=86400", "Cache-Control without the pack's v")
    check(response.getheader("X-Content-Type-Options") == "nosniff", "nosniff on a picture")
    response, again = get(connection, url("strip.png", "^1m00"), headers={"If-None-Match": tag})
    check(response.status == 304 and again == b"" and response.getheader("ETag") == tag, "304 for a matching tag")
    response, _ = get(connection, url("strip.png", "^1m00"), headers={"If-None-Match": '"other", ' + tag})
    check(response.status == 304, "304 for a tag in a list")
    for other in (url("strip.png", "^1m01"), url("strip.png", "^1m00", scale="2"), url("framed.jpg", "^1m00"),
                  url("info.json", "^1m00")):
        response, _ = get(connection, other, headers={"If-None-Match": tag})
        check(response.status == 200 and response.getheader("ETag") != tag, "a tag of its own for " + other)
    response, head = get(connection, url("strip.png", "^1m00"), method="HEAD")
    check(response.status == 200 and head == b"" and response.getheader("Content-Length") == str(len(body)) and
          response.getheader("ETag") == tag, "HEAD")
    for method in ("POST", "PUT", "DELETE"):
        response, _ = get(connection, url("strip.png", "^1m00"), method=method)
        check(response.status == 405 and response.getheader("Allow") == "GET, HEAD", method + " is 405")
        connection = server.connection()
    for bad, status, message in (("/strip.png?text=%4", 400, "malformed percent escape"),
                                 ("/strip.png?text=%zz1", 400, "malformed percent escape"),
                                 ("/strip.png?text=a&colour=red", 400, "unknown parameter 'colour'"),
                                 ("/strip.png?text=a&scale=9", 400, "scale= takes a whole number from 1 to 8, not '9'"),
                                 ("/strip.png?text=a&page=%23ffffff", 400, "page= names the page under a transparent"),
                                 ("/strip.png?text=a&text=b", 400, "given twice"),
                                 ("/strip.png?text=%5E1", 422, "The text draws no glyph"),
                                 ("/nothing", 404, "no such page")):
        response, body = get(connection, bad)
        check(response.status == status and message in body.decode() and
              response.getheader("Content-Type").startswith("text/plain") and
              response.getheader("X-Content-Type-Options") == "nosniff", "%s: %d %r" % (bad, response.status, body))
        response, body = get(connection, url("strip.png", "^2good"))
        check(response.status == 200 and body.startswith(b"\x89PNG"), "the request after " + bad)
    response, body = get(connection, "/healthz")
    check(response.status == 200 and body == b"ok\n", "healthz")


def tag_of(connection, path, headers=None):
    response, _ = get(connection, path, headers=headers)
    return response.status, response.getheader("ETag")


def caching(server):
    """Every option of a picture has its part in the tag; If-None-Match by its grammar;
    immutable only on addresses that carry the pack's v."""
    connection = server.connection()
    base = url("strip.png", "^1m00")
    variants = [url("strip.png", "^1m01"), url("strip.png", "^1m00", scale="2"),
                url("strip.png", "^1m00", background="transparent"),
                url("strip.png", "^1m00", background="#000000"), url("strip.png", "^1m00", background="#000001"),
                url("strip.png", "^1m00", {"min-contrast": "3"}), url("strip.png", "^1m00", {"min-contrast": "3.5"}),
                url("strip.png", "^1m00", background="transparent", page="#ffffff"),
                url("strip.png", "^1m00", background="transparent", page="#fffffe"),
                url("framed.jpg", "^1m00"), url("info.json", "^1m00")]
    status, tag = tag_of(connection, base)
    tags = {base: tag}
    for variant in variants:
        status, own = tag_of(connection, variant, {"If-None-Match": tag})
        check(status == 200, "%s answered %d to the plain strip's tag" % (variant, status))
        tags[variant] = own
        status, _ = tag_of(connection, variant, {"If-None-Match": own})
        check(status == 304, "%s: its own tag is not 304" % variant)
    check(len(set(tags.values())) == len(tags), "tags shared between options: %r" % tags)

    for header, status in ((tag, 304), ("W/" + tag, 304), ('"x", ' + tag, 304), (tag + ' ,"y"', 304),
                           ('"a,b", ' + tag, 304), ("*", 304), (tag[:-2] + '"', 200), (tag[:-1], 200),
                           ('W/"', 200), ('"', 200), (tag[1:-1], 200), (tag + "x", 200), ('"x", ' + tag[:-1], 200),
                           ("w/" + tag, 200), ("*, " + tag[:-2] + '"', 200)):
        got, _ = tag_of(connection, base, {"If-None-Match": header})
        check(got == status, "If-None-Match %r: %d, not %d" % (header, got, status))
    # "*" stands for a picture there is: what would be refused stays refused.
    for refused, status in ((url("strip.png", "^1"), 422), (url("strip.png", "a", scale="9"), 400),
                            (url("strip.png", "x" * 4097), 413), (url("strip.png", "W" * 2000, scale="8"), 413),
                            ("/nothing", 404)):
        got, _ = tag_of(connection, refused, {"If-None-Match": "*"})
        check(got == status, "%s with If-None-Match *: %d, not %d" % (refused[:40], got, status))

    response, _ = get(connection, "/healthz")
    digest = (response.getheader("X-Glyph-Pack") or "").removeprefix("sha256:")
    check(len(digest) == 64, "/healthz names the pack: %r" % digest)
    digest = digest.ljust(64, "0")
    for version, control in ((digest[:12], "public, max-age=31536000, immutable"),
                             (digest[:11] + "0" if digest[11] != "0" else digest[:11] + "1", "public, max-age=86400"),
                             (digest[:11], "public, max-age=86400"), (digest, "public, max-age=86400")):
        response, body = get(connection, url("strip.png", "^1m00", v=version))
        check(response.status == 200 and response.getheader("Cache-Control") == control and
              response.getheader("ETag") == tag, "v=%s: %s" % (version, response.getheader("Cache-Control")))


def pack_descriptors(pid):
    """The inodes of the files the service holds that are glyph packs."""
    found = set()
    folder = "/proc/%d/fd" % pid
    for fd in os.listdir(folder):
        try:
            target = os.readlink(os.path.join(folder, fd)).removesuffix(" (deleted)")
            if target.endswith(".gfx") or target.startswith("/memfd:"):
                found.add(os.stat(os.path.join(folder, fd)).st_ino)
        except OSError:
            pass
    return found


def error_line(server):
    """The next line the service writes to standard error, or "" after a minute without."""
    if not select.select([server.process.stderr], [], [], 60)[0]:
        return ""
    return server.process.stderr.readline().decode()


def with_glyph(source, target, glyph, data):
    """A copy of the pack source with the glyph entry's data replaced."""
    with zipfile.ZipFile(source) as old, zipfile.ZipFile(target, "w") as new:
        for item in old.infolist():
            new.writestr(item, data if item.filename == glyph else old.read(item.filename))


def reload_and_stop():
    """SIGHUP serves an updated pack under new tags; a damaged one leaves the old in service."""
    pack = os.path.join(SCRATCH, "pack.gfx")
    shutil.copy(os.path.join(BIN, "glyphtint.gfx"), pack)
    server = Server(BIN, "--archive", pack, "--threads", "2", "--max-age", "60")
    connection = server.connection()
    response, _ = get(connection, url("strip.png", "^1m00"))
    old = response.getheader("ETag")
    check(response.getheader("Cache-Control") == "public, max-age=60", "--max-age")
    for n in range(4):
        get(server.connection(), url("strip.png", "^%dm00" % n))
    old_packs = pack_descriptors(server.process.pid)
    check(old_packs, "the pack is held open")
    # Rewritten in place without SIGHUP: the pack that was digested is still what draws,
    # glyphs not drawn before included.
    with zipfile.ZipFile(pack) as archive:
        wide = archive.read("w.jpg")
    changed = os.path.join(SCRATCH, "changed.gfx")
    with_glyph(pack, changed, "q.jpg", wide)
    with open(changed, "rb") as f, open(pack, "r+b") as g:
        g.write(f.read())
        g.truncate()
    for text in ("^1m00", "^3qq^4q"):
        response, body = get(connection, url("strip.png", text))
        check(response.status == 200 and body == cli("--strip", text.encode(), {})[0],
              "a pack rewritten in place changes the picture of " + text)
    updated = os.path.join(SCRATCH, "updated.gfx")
    shutil.copy(pack, updated)
    with zipfile.ZipFile(updated, "a") as archive:
        archive.writestr("readme.txt", "an entry more")
    os.replace(updated, pack)
    server.process.send_signal(signal.SIGHUP)
    new = old
    for _ in range(500):
        response, body = get(connection, url("strip.png", "^1m00"))
        new = response.getheader("ETag")
        if new != old:
            break
        time.sleep(0.01)
    check(new != old and response.status == 200, "the ETag after SIGHUP with a changed pack")
    # Idle renderers let go of the old pack on their own threads: give them time to run.
    deadline = time.monotonic() + 20
    while (left := pack_descriptors(server.process.pid) & old_packs) and time.monotonic() < deadline:
        time.sleep(0.05)
    check(not left, "the old pack is still open after SIGHUP and a render: %r" % left)
    response, _ = get(connection, "/healthz")
    digest = response.getheader("X-Glyph-Pack")
    # A glyph that cannot be decoded: refused, the pack before kept.
    with zipfile.ZipFile(pack) as archive:
        damaged = archive.read("m.jpg")[:200]
    with_glyph(os.path.join(BIN, "glyphtint.gfx"), os.path.join(SCRATCH, "damaged.gfx"), "m.jpg", damaged)
    os.replace(os.path.join(SCRATCH, "damaged.gfx"), pack)
    server.process.send_signal(signal.SIGHUP)
    stderr_line = error_line(server)
    check("not reopened" in stderr_line and "m.jpg" in stderr_line, "a damaged glyph's reload: %r" % stderr_line)
    response, _ = get(connection, url("strip.png", "^1m00"))
    check(response.status == 200 and response.getheader("ETag") == new, "the pack before draws on")
    response, _ = get(connection, "/healthz")
    check(response.status == 200 and response.getheader("X-Glyph-Pack") == digest, "/healthz after a refused pack")
    run = subprocess.run([os.path.join(BIN, "glyphtint-serve"), "--archive", pack], capture_output=True, timeout=60)
    check(run.returncode == 1 and b"cannot draw every glyph" in run.stderr, "a damaged pack at start: %r" % run.stderr)
    with open(pack, "wb") as f:
        f.write(b"no zip at all")
    server.process.send_signal(signal.SIGHUP)
    stderr_line = error_line(server)
    check("not reopened" in stderr_line, "a damaged pack's reload is reported: %r" % stderr_line)
    response, _ = get(connection, url("strip.png", "^1m00"))
    check(response.status == 200 and response.getheader("ETag") == new, "the pack before serves on")
    check(server.stop() == 0, "SIGTERM exits 0")
    check(any(line.startswith(b"GET /strip.png 200 ") for line in server.log), "the access log")
    check(not any(b"m00" in line for line in server.log), "the log leaves the query out")


def draining_and_slow_clients():
    """SIGTERM answers the request under way before exiting; a client that sends its
    request a byte at a time is cut off, while the others are served."""
    server = Server(BIN)
    slow = socket.create_connection(("127.0.0.1", server.port))
    started = time.monotonic()
    cut = False
    for byte in b"GET /healthz HTTP/1.1\r\nHost: x\r\nX-Padding: " + b"a" * 60:
        try:
            slow.sendall(bytes([byte]))
            response, _ = get(server.connection(), "/healthz")
            check(response.status == 200, "served beside a slow client")
        except OSError:
            cut = True
            break
        if closed_by_server(slow):
            cut = True
            break
        time.sleep(0.5)
    check(cut and time.monotonic() - started < 25, "a client sending a byte at a time is cut off")
    slow.close()

    pending = socket.create_connection(("127.0.0.1", server.port))
    pending.sendall(b"GET /strip.png?text=%5E3late HTTP/1.1\r\nHost: x\r\n")
    # The request line has come: the request is under way when SIGTERM arrives.
    response, _ = get(server.connection(), "/healthz")
    server.process.send_signal(signal.SIGTERM)
    for _ in range(3000):
        try:
            socket.create_connection(("127.0.0.1", server.port)).close()
            time.sleep(0.01)
        except OSError:
            break
    pending.sendall(b"\r\n")
    answer = b""
    while b"\r\n\r\n" not in answer:
        chunk = pending.recv(65536)
        if not chunk:
            break
        answer += chunk
    check(answer.startswith(b"HTTP/1.1 200"), "the request under way at SIGTERM is answered: %r" % answer[:40])
    check(server.process.wait(timeout=60) == 0, "SIGTERM after draining exits 0")


def closed_by_server(connection):
    if not select.select([connection], [], [], 0)[0]:
        return False
    try:
        return connection.recv(1, socket.MSG_PEEK) == b""
    except OSError:
        return True


def answered(sock):
    return bool(select.select([sock], [], [], 0)[0])


def head_of_line():
    """With one renderer drawing long texts, health checks and 304s on other connections
    are answered while the renders are still under way."""
    # Long renders are not refused however slow the build.
    server = Server(BIN, "--threads", "1", "--max-wait", "600")
    long_text = url("strip.png", "^1W^2M" * 680, scale="4")
    connection = server.connection()
    status, tag = tag_of(connection, url("strip.png", "^1m00"))
    # Connections opened first, so that they are spread over the daemon's threads.
    slow = [socket.create_connection(("127.0.0.1", server.port)) for _ in range(4)]
    quick = [server.connection() for _ in range(6)]
    for sock in slow:
        sock.sendall(("GET %s HTTP/1.1\r\nHost: x\r\n\r\n" % long_text).encode())
    statuses = []
    for n, other in enumerate(quick):
        if n % 2:
            statuses.append(get(other, url("strip.png", "^1m00"), headers={"If-None-Match": tag})[0].status)
        else:
            statuses.append(get(other, "/healthz")[0].status)
    pending = [sock for sock in slow if not answered(sock)]
    check(statuses == [200, 304] * 3, "health checks and 304s beside renders: %r" % statuses)
    check(pending, "every long render was answered before the health checks")
    for sock in slow:
        sock.settimeout(60)
        check(sock.recv(12) == b"HTTP/1.1 200", "a long render is answered")
        sock.close()
    # Renders waiting for the renderer at SIGTERM are drawn and answered before the exit.
    waiting = [socket.create_connection(("127.0.0.1", server.port)) for _ in range(3)]
    for sock in waiting:
        sock.sendall(("GET %s HTTP/1.1\r\nHost: x\r\n\r\n" % long_text).encode())
    get(server.connection(), "/healthz")
    check(server.stop() == 0, "SIGTERM with renders waiting exits 0")
    for sock in waiting:
        reader = http.client.HTTPResponse(sock)
        reader.begin()
        check(reader.status == 200 and reader.read().startswith(b"\x89PNG"), "a render waiting at SIGTERM")
        sock.close()


def shedding():
    """A render expected to wait past --max-wait is refused 503 with a Retry-After."""
    server = Server(BIN, "--threads", "1", "--max-wait", "0.001")
    long_text = url("strip.png", "^1W^2M" * 680, scale="4")
    connection = server.connection()
    response, _ = get(connection, long_text)
    check(response.status == 200, "a long render alone")
    # Sent at once: one is drawn, the others would wait a long render each (a round may
    # pass before the first render is counted in the estimate).
    answers = []
    for _ in range(20):
        clients = [socket.create_connection(("127.0.0.1", server.port)) for _ in range(4)]
        for sock in clients:
            sock.sendall(("GET %s HTTP/1.1\r\nHost: x\r\n\r\n" % long_text).encode())
        for sock in clients:
            reader = http.client.HTTPResponse(sock)
            reader.begin()
            answers.append((reader.status, reader.getheader("Retry-After")))
            sock.close()
        if any(status == 503 for status, _ in answers):
            break
    check(any(status == 503 for status, _ in answers) and
          all(status == 200 or (status == 503 and int(wait) >= 1) for status, wait in answers),
          "renders behind a long one past --max-wait: %r" % answers)
    check(server.stop() == 0, "SIGTERM exits 0")
    run = subprocess.run([os.path.join(BIN, "glyphtint-serve"), "--max-wait", "1,5"], capture_output=True)
    check(run.returncode == 2 and b"--max-wait takes seconds" in run.stderr, "--max-wait 1,5: %r" % run.stderr)


def startup_failures():
    serve = os.path.join(BIN, "glyphtint-serve")
    run = subprocess.run([serve, "--archive", os.path.join(SCRATCH, "missing.gfx")], capture_output=True)
    check(run.returncode == 1 and b"missing.gfx" in run.stderr, "a missing pack: %r" % run.stderr)
    run = subprocess.run([serve, "--threads", "0"], capture_output=True)
    check(run.returncode == 2 and b"--threads takes a whole number from 1 to 256, not '0'" in run.stderr, "--threads 0")
    holder = Server(BIN)
    run = subprocess.run([serve, "--listen", "127.0.0.1:%d" % holder.port], capture_output=True, timeout=60)
    check(run.returncode == 1 and b"Address already in use" in run.stderr, "a port taken: %r" % run.stderr)
    holder.stop()


def many_clients(server, clients=16):
    """Clients at once, 1600 distinct names among them, every picture the batch's and none
    refused as busy."""
    names = ["^%d%s name %d" % (n % 10, "abcdefghijklmnop"[n // 100], n) for n in range(1600)]
    folder = os.path.join(SCRATCH, "batch")
    if not os.path.isdir(folder):
        run = subprocess.run([os.path.join(BIN, "glyphtint-render"), "--batch", folder],
                             input="\n".join(names).encode(), capture_output=True)
        check(run.returncode == 0, "the batch of reference pictures")
    wrong = []
    each = len(names) // clients

    def client(first):
        connection = server.connection()
        for n in range(first, first + each):
            response, body = get(connection, url("strip.png", names[n]))
            with open(os.path.join(folder, "%06d.png" % (n + 1)), "rb") as f:
                if response.status != 200 or body != f.read():
                    wrong.append((names[n], response.status))

    threads = [threading.Thread(target=client, args=(each * i,)) for i in range(clients)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    check(not wrong, "%d clients: names served with another answer: %r" % (clients, wrong[:5]))


def german_locale():
    """Qt takes the environment's locale, whose decimal comma must reach neither the
    reading of a query, nor the access log, nor the tags."""
    try:
        locale.setlocale(locale.LC_ALL, "de_DE.UTF-8")
        locale.setlocale(locale.LC_ALL, "C")
    except locale.Error:
        check(False, "the locale de_DE.UTF-8 is missing (Debian package locales-all)")
        return
    path = url("strip.png", "^1m00", {"min-contrast": "4.5"})
    tags = []
    for language in ["C.UTF-8", "de_DE.UTF-8"]:
        server = Server(BIN, environment=dict(os.environ, LC_ALL=language))
        response, body = get(server.connection(), path)
        check(response.status == 200, "%s: min-contrast=4.5 answered %d %r" % (language, response.status, body))
        tags.append(response.getheader("ETag"))
        check(server.stop() == 0, "%s: SIGTERM exits 0" % language)
        durations = [line.split()[-1] for line in server.log]
        check(durations and all(re.fullmatch(rb"[0-9]+\.[0-9]", d) for d in durations),
              "%s: milliseconds logged as %r" % (language, durations))
    check(tags[0] == tags[1], "the tag changes with the locale: %r" % tags)


ONLY_MANY_CLIENTS = sys.argv[2:] == ["many-clients"]
try:
    if not ONLY_MANY_CLIENTS:
        startup_failures()
        server = Server(BIN)
        requests_and_errors(server)
        caching(server)
        same_as_cli(server)
        check(server.stop() == 0, "SIGTERM exits 0")
        german_locale()
    # More renderers than cores, so that renders do overlap.
    server = Server(BIN, "--threads", "8")
    many_clients(server)
    if not ONLY_MANY_CLIENTS:
        many_clients(server, 64)
    status = server.stop()
    # A sanitizer's report is on standard error, with the status it exits with.
    check(status == 0, "SIGTERM exits 0, not %d: %s" % (status, server.process.stderr.read().decode()[-4000:]))
    if not ONLY_MANY_CLIENTS:
        reload_and_stop()
        head_of_line()
        shedding()
        draining_and_slow_clients()
finally:
    shutil.rmtree(SCRATCH, ignore_errors=True)
print("%d failed" % len(FAILURES))
sys.exit(1 if FAILURES else 0)
