#!/usr/bin/env python3
"""glyphtint-serve on a loopback port, driven with a real HTTP client: its pictures are
glyphtint-render's, byte for byte; caching, methods, bad queries, SIGHUP, SIGTERM and
many clients at once.
usage: serve-http.py BIN_DIR [many-clients]
  many-clients: only the 16 clients at once (run against a ThreadSanitizer build)"""
import json
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
                                 ("/strip.png?text=a&scale=9", 400, "--scale takes a whole number from 1 to 8, not '9'"),
                                 ("/strip.png?text=a&page=%23ffffff", 400, "--page names the page under a transparent"),
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


def reload_and_stop():
    """SIGHUP serves an updated pack under new tags; a damaged one leaves the old in service."""
    pack = os.path.join(SCRATCH, "pack.gfx")
    shutil.copy(os.path.join(BIN, "glyphtint.gfx"), pack)
    server = Server(BIN, "--archive", pack)
    connection = server.connection()
    response, _ = get(connection, url("strip.png", "^1m00"))
    old = response.getheader("ETag")
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
    with open(pack, "wb") as f:
        f.write(b"no zip at all")
    server.process.send_signal(signal.SIGHUP)
    stderr_line = server.process.stderr.readline().decode()
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


def many_clients(server):
    """16 clients at once, 100 distinct names each, every picture the batch's."""
    names = ["^%d%s name %d" % (n % 10, "abcdefghijklmnop"[n // 100], n) for n in range(1600)]
    folder = os.path.join(SCRATCH, "batch")
    run = subprocess.run([os.path.join(BIN, "glyphtint-render"), "--batch", folder],
                         input="\n".join(names).encode(), capture_output=True)
    check(run.returncode == 0, "the batch of reference pictures")
    wrong = []

    def client(first):
        connection = server.connection()
        for n in range(first, first + 100):
            for _ in range(1000):
                response, body = get(connection, url("strip.png", names[n]))
                if response.status != 503:
                    break
                check(response.getheader("Retry-After") == "1", "Retry-After on 503")
                time.sleep(0.01)
            with open(os.path.join(folder, "%06d.png" % (n + 1)), "rb") as f:
                if response.status != 200 or body != f.read():
                    wrong.append(names[n])

    clients = [threading.Thread(target=client, args=(100 * i,)) for i in range(16)]
    for thread in clients:
        thread.start()
    for thread in clients:
        thread.join()
    check(not wrong, "names served with another picture: %r" % wrong[:5])


ONLY_MANY_CLIENTS = sys.argv[2:] == ["many-clients"]
try:
    if not ONLY_MANY_CLIENTS:
        startup_failures()
        server = Server(BIN)
        requests_and_errors(server)
        same_as_cli(server)
        check(server.stop() == 0, "SIGTERM exits 0")
    # More renderers than cores, so that renders do overlap.
    server = Server(BIN, "--threads", "8")
    many_clients(server)
    status = server.stop()
    # A sanitizer's report is on standard error, with the status it exits with.
    check(status == 0, "SIGTERM exits 0, not %d: %s" % (status, server.process.stderr.read().decode()[-4000:]))
    if not ONLY_MANY_CLIENTS:
        reload_and_stop()
        draining_and_slow_clients()
finally:
    shutil.rmtree(SCRATCH, ignore_errors=True)
print("%d failed" % len(FAILURES))
sys.exit(1 if FAILURES else 0)
