#!/usr/bin/env python3
"""The nginx example as written, in front of two glyphtint-serve processes on loopback:
pictures cached by the service's Cache-Control, errors passed through with the service's
message, a stopped backend left for the other, and no backend taken out by what clients
do (requests with bodies, bursts that the services answer 503). nginx runs from a private
prefix with its own cache, temporary folders, logs and pid file. Exits 77 where nginx is
missing. The one-instance example gets the checks that need no second backend.
usage: check-nginx.py BIN_DIR EXAMPLE_CONF"""
import http.client
import http.server
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
from concurrent.futures import ThreadPoolExecutor

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "serve"))
from servetest import FAILURES, Server, check  # noqa: E402

NGINX = shutil.which("nginx") or ("/usr/sbin/nginx" if os.access("/usr/sbin/nginx", os.X_OK) else None)
class Busy(http.server.BaseHTTPRequestHandler):
    """A backend with every renderer taken: the service's 503 and Retry-After."""
    answered = 0

    def do_GET(self):
        Busy.answered += 1
        body = b"every renderer is busy: try again in a second\n"
        self.send_response(503)
        self.send_header("Content-Type", "text/plain; charset=utf-8")
        self.send_header("Retry-After", "1")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *arguments):
        pass


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def replaced(text, old, new):
    if old not in text:
        raise RuntimeError("the example no longer holds %r" % old)
    return text.replace(old, new)


def start_nginx(scratch, first, second=None, example=None):
    """nginx with the example's server and upstream, its ports and paths made private."""
    port = free_port()
    site = open(example or EXAMPLE).read()
    site = replaced(site, "server 127.0.0.1:8081", "server 127.0.0.1:%d" % first)
    if second is not None:
        site = replaced(site, "server 127.0.0.1:8082", "server 127.0.0.1:%d" % second)
    site = replaced(site, "listen 127.0.0.1:8080;", "listen 127.0.0.1:%d;" % port)
    site = replaced(site, "/var/cache/nginx/glyphtint", os.path.join(scratch, "cache"))
    with open(os.path.join(scratch, "site.conf"), "w") as f:
        f.write(site)
    temp = os.path.join(scratch, "temp")
    os.mkdir(temp)
    # Started as root, nginx runs its workers as an unprivileged user, who must reach the
    # cache and temporary folders.
    user = "user nobody nogroup;\n" if os.getuid() == 0 else ""
    if user:
        os.chmod(scratch, 0o755)
        os.mkdir(os.path.join(scratch, "cache"))
        for folder in (temp, os.path.join(scratch, "cache")):
            os.chown(folder, 65534, 65534)
    temps = "".join("    %s_temp_path %s/%s;\n" % (kind, temp, kind)
                    for kind in ("client_body", "proxy", "fastcgi", "uwsgi", "scgi"))
    with open(os.path.join(scratch, "nginx.conf"), "w") as f:
        f.write("daemon off;\n%sworker_processes 1;\npid %s/nginx.pid;\nerror_log %s/error.log;\n"
                "events { worker_connections 64; }\nhttp {\n    access_log %s/access.log;\n%s"
                "    include %s/site.conf;\n}\n" % (user, scratch, scratch, scratch, temps, scratch))
    arguments = [NGINX, "-p", scratch, "-c", os.path.join(scratch, "nginx.conf"), "-e", os.path.join(scratch, "error.log")]
    test = subprocess.run(arguments + ["-t"], capture_output=True)
    if test.returncode != 0:
        raise RuntimeError("nginx -t: %s" % test.stderr.decode())
    process = subprocess.Popen(arguments, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    for _ in range(300):
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return process, port
        except OSError:
            if process.poll() is not None:
                raise RuntimeError("nginx ended: %s" % open(os.path.join(scratch, "error.log")).read())
            time.sleep(0.05)
    raise RuntimeError("nginx does not listen on %d" % port)


def get(port, path, method="GET", body=None):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=60)
    connection.request(method, path, body=body)
    response = connection.getresponse()
    body = response.read()
    connection.close()
    return response, body


def caching(port):
    """A repeated name is a cache hit with the same bytes; errors and /healthz never are."""
    response, first = get(port, "/strip.png?text=%5E1m00")
    check(response.status == 200 and first.startswith(b"\x89PNG"), "a strip through nginx: %d" % response.status)
    check(response.getheader("X-Cache-Status") == "MISS", "the first request: %s" % response.getheader("X-Cache-Status"))
    response, again = get(port, "/strip.png?text=%5E1m00")
    check(response.getheader("X-Cache-Status") == "HIT" and again == first,
          "the same name again is a HIT: %s" % response.getheader("X-Cache-Status"))
    check(response.getheader("ETag") is not None, "the cached answer keeps its ETag")
    for path in ("/healthz", "/strip.png?text=%4", "/strip.png?text=%4"):
        response, _ = get(port, path)
        check(response.getheader("X-Cache-Status") != "HIT", "%s came from the cache" % path)


def errors_pass_through(port, scratch):
    """The service's 4xx answers and messages reach the client as they are."""
    for path, status, message in (("/strip.png?text=%4", 400, b"malformed percent escape"),
                                  ("/strip.png?text=" + "x" * 4097, 413, b"longer than 4096 bytes"),
                                  ("/strip.png?text=a&colour=red", 400, b"unknown parameter 'colour'")):
        response, body = get(port, path)
        check(response.status == status and message in body and
              response.getheader("Content-Type").startswith("text/plain"),
              "%s through nginx: %d %r" % (path[:40], response.status, body[:80]))
    # The longest text the service takes, every byte escaped: nginx must pass its request line.
    response, body = get(port, "/strip.png?text=" + "%78" * 4096)
    check(response.status == 200 and body.startswith(b"\x89PNG"),
          "a text of 4096 escaped bytes through nginx: %d %r" % (response.status, body[:80]))
    response, _ = get(port, "/strip.png?text=" + "%78" * 4096)
    check(response.getheader("X-Cache-Status") == "HIT",
          "the longest text again is a HIT: %s" % response.getheader("X-Cache-Status"))
    # A longer line, here a flood of parameters after a first request on the connection,
    # is nginx's to refuse (414): it reaches no backend and logs no cache key error.
    with socket.create_connection(("127.0.0.1", port), timeout=30) as connection:
        connection.sendall(b"GET /healthz HTTP/1.1\r\nHost: x\r\n\r\nGET /info.json?" + b"&p" * 15000 +
                           b" HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
        received = b""
        while chunk := connection.recv(65536):
            received += chunk
    statuses = re.findall(rb"HTTP/1\.1 (\d{3}) ", received)
    check(statuses == [b"200", b"414"], "a request line of 30 KB after a first request through nginx: %r" % statuses)
    check("cache key" not in open(os.path.join(scratch, "error.log")).read(), "nginx logged a cache key error")


def still_served(port, what):
    for n in range(8):
        response, body = get(port, "/strip.png?text=%%5E5after+%s+%d" % (what.replace(" ", "+"), n))
        check(response.status == 200 and body.startswith(b"\x89PNG"),
              "request %d after %s: %d %r" % (n, what, response.status, body[:80]))


def requests_with_bodies(port):
    """A body is a client's fault: answered without 502, and every backend stays in."""
    for method, path in (("GET", "/strip.png?text=body"), ("GET", "/info.json?text=body"),
                         ("POST", "/strip.png?text=body")):
        response, body = get(port, path, method, b"x")
        check(response.status not in (502, 504), "%s %s with a body: %d %r" % (method, path, response.status, body[:80]))
    still_served(port, "requests with bodies")


def burst(port):
    """24 clients asking big strips at once: each gets its strip or the service's 503 with
    Retry-After, never nginx's 502; then ordinary requests are served as before."""
    def ask(n):
        response, _ = get(port, "/strip.png?scale=4&text=%%5E%d%s" % (n % 10, "W" * 700))
        return response.status, response.getheader("Retry-After")

    with ThreadPoolExecutor(24) as pool:
        answers = list(pool.map(ask, range(24)))
    statuses = sorted(status for status, _ in answers)
    check(all(status == 200 or (status == 503 and retry) for status, retry in answers),
          "a burst of big strips: %s" % statuses)
    print("a burst of 24 big strips: %d answered 200, %d answered 503" % (statuses.count(200), statuses.count(503)))
    still_served(port, "a burst")


def failover(port, first, second):
    """Both backends take requests; once one is stopped, the other answers every one."""
    for n in range(6):
        response, _ = get(port, "/info.json?text=spread%d" % n)
        check(response.status == 200, "spread %d: %d" % (n, response.status))
    check(first.served() > 0 and second.served() > 0,
          "requests reach both backends: %d and %d" % (first.served(), second.served()))
    check(first.stop() == 0, "a backend stopped with SIGTERM exits 0")
    for n in range(6):
        response, body = get(port, "/strip.png?text=%%5E2after+stop+%d" % n)
        check(response.status == 200 and body.startswith(b"\x89PNG"),
              "request %d after a backend stopped: %d %r" % (n, response.status, body[:80]))


def busy_backend(scratch, service):
    """A backend answering 503 hands every request to the other one."""
    busy = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Busy)
    threading.Thread(target=busy.serve_forever, daemon=True).start()
    os.mkdir(scratch)
    nginx, port = start_nginx(scratch, busy.server_address[1], service.port)
    try:
        for n in range(6):
            response, body = get(port, "/strip.png?text=%%5E3busy+%d" % n)
            check(response.status == 200 and body.startswith(b"\x89PNG"),
                  "request %d beside a busy backend: %d %r" % (n, response.status, body[:80]))
        check(Busy.answered > 0, "the busy backend was never asked")
    finally:
        nginx.send_signal(signal.SIGQUIT)
        nginx.wait(timeout=30)
        busy.shutdown()


def main():
    global BIN, EXAMPLE
    BIN, EXAMPLE = sys.argv[1], sys.argv[2]
    if NGINX is None:
        print("nginx is missing (package nginx-light; scripts/setup.sh installs it): skipped")
        sys.exit(77)
    scratch = tempfile.mkdtemp()
    services = []
    nginx = None
    try:
        two = "server 127.0.0.1:8082" in open(EXAMPLE).read()
        services = [Server(BIN, "--threads", "1") for _ in range(2 if two else 1)]
        nginx, port = start_nginx(scratch, *(service.port for service in services))
        caching(port)
        errors_pass_through(port, scratch)
        burst(port)
        requests_with_bodies(port)
        if two:
            failover(port, services[0], services[1])
            busy_backend(os.path.join(scratch, "busy"), services[1])
    finally:
        if nginx is not None:
            nginx.send_signal(signal.SIGQUIT)
            try:
                nginx.wait(timeout=30)
            except subprocess.TimeoutExpired:
                nginx.kill()
                nginx.wait()
        for service in services:
            check(service.stop() == 0, "a backend stopped with SIGTERM exits 0")
        if FAILURES and os.path.exists(os.path.join(scratch, "error.log")):
            sys.stderr.write(open(os.path.join(scratch, "error.log")).read()[-2000:])
        shutil.rmtree(scratch, ignore_errors=True)
    print("%d failed" % len(FAILURES))
    sys.exit(1 if FAILURES else 0)


if __name__ == "__main__":
    main()
