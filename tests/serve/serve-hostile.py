#!/usr/bin/env python3
"""glyphtint-serve against hostile requests over raw sockets (hostile_requests.py): each
gets a 4xx or 5xx answer or a closed connection within a deadline, the server lives on,
and after each a picture comes byte-equal to glyphtint-render --strip's. A client that
sends a byte a second is closed within the timeout while others are served, and 48
connections at once from the loopback address are all answered.
usage: serve-hostile.py BIN_DIR"""
import collections
import concurrent.futures
import os
import re
import socket
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import hostile_requests  # noqa: E402
from servetest import Server  # noqa: E402

BIN = sys.argv[1]
# The server closes a connection idle or incomplete for 10 seconds.
DEADLINE = 20
STATUS = re.compile(rb"HTTP/1\.[01] (\d{3}) ")


def exchange(port, data):
    """Sends data and reads until the server closes; the statuses answered and whether
    the server closed before the deadline."""
    connection = socket.create_connection(("127.0.0.1", port), timeout=DEADLINE)
    received = b""
    closed = False
    ends = time.monotonic() + DEADLINE
    try:
        try:
            connection.sendall(data)
        except OSError:
            pass  # refused while sending: what came before the close still counts
        while time.monotonic() < ends:
            connection.settimeout(max(0.1, ends - time.monotonic()))
            chunk = connection.recv(65536)
            if not chunk:
                closed = True
                break
            received += chunk
            statuses = [int(s) for s in STATUS.findall(received)]
            # An error answer is enough, and the server may keep the connection open after
            # it; what it answers in the next moment still counts (a smuggled request).
            if statuses and statuses[-1] >= 400:
                ends = min(ends, time.monotonic() + 0.5)
                closed = True
    except socket.timeout:
        pass
    except OSError:
        closed = True
    finally:
        connection.close()
    return [int(s) for s in STATUS.findall(received)], closed


def picture(port, expected):
    """The strip of ^1m00 is glyphtint-render's. Busy renderers (503) are asked again
    after their Retry-After, as a client should: the cases run eight at a time."""
    ends = time.monotonic() + DEADLINE
    while True:
        connection = socket.create_connection(("127.0.0.1", port), timeout=DEADLINE)
        with connection:
            connection.sendall(b"GET /strip.png?text=%5E1m00 HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
            answer = b""
            while chunk := connection.recv(65536):
                answer += chunk
        head, _, body = answer.partition(b"\r\n\r\n")
        if not head.startswith(b"HTTP/1.1 503") or time.monotonic() > ends:
            return head.startswith(b"HTTP/1.1 200") and body == expected
        time.sleep(1)


def slow_client(port, expected):
    """A byte a second: closed within the deadline while other requests are answered."""
    slow = socket.create_connection(("127.0.0.1", port), timeout=DEADLINE)
    started = time.monotonic()
    served = True
    try:
        for byte in hostile_requests.SLOW:
            slow.sendall(bytes([byte]))
            served = served and picture(port, expected)
            slow.settimeout(1)
            try:
                if slow.recv(65536) == b"":
                    break
            except socket.timeout:
                pass
            if time.monotonic() - started > DEADLINE:
                break
    except OSError:
        pass
    finally:
        slow.close()
    return time.monotonic() - started < DEADLINE and served


def many_connections(port, count=48):
    """A reverse proxy's connections all come from one loopback address: each is
    answered, none closed unanswered. The statuses that came, one a connection."""
    connections = []
    statuses = []
    for _ in range(count):
        try:
            connections.append(socket.create_connection(("127.0.0.1", port), timeout=DEADLINE))
        except OSError as error:
            statuses.append([error.__class__.__name__.encode()])
    for connection in connections:
        try:
            connection.sendall(b"GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n")
        except OSError:
            pass
    for connection in connections:
        with connection:
            try:
                statuses.append(STATUS.findall(connection.recv(65536))[:1] or [b"closed"])
            except OSError:
                statuses.append([b"reset"])
    return [s[0].decode() for s in statuses]


def main():
    with tempfile.TemporaryDirectory() as scratch:
        out = os.path.join(scratch, "out.png")
        subprocess.run([os.path.join(BIN, "glyphtint-render"), "--strip", out, "^1m00"], check=True)
        with open(out, "rb") as f:
            expected = f.read()
    server = Server(BIN)
    process, port = server.process, server.port
    failures = []
    outcomes = collections.Counter()

    def run(case):
        try:
            return check(*case)
        except OSError as error:
            return case[0], "%s (server status %r)" % (error, process.poll())

    def check(name, data, good):
        statuses, closed = exchange(port, data)
        # 100 Continue is an interim answer, not the request's.
        statuses = [s for s in statuses if s >= 200]
        if statuses[:good] != [200] * good or any(s < 400 for s in statuses[good:]):
            return name, "answered %r" % statuses
        if len(statuses) == good and not closed:
            return name, "neither answered nor closed within %d s" % DEADLINE
        if not picture(port, expected):
            return name, "the picture after it is not glyphtint-render's"
        return name, ("%dxx" % (statuses[good] // 100)) if len(statuses) > good else "closed"

    # A few at a time: cases the server waits on take its whole timeout.
    with concurrent.futures.ThreadPoolExecutor(8) as pool:
        for name, outcome in pool.map(run, hostile_requests.cases()):
            if outcome[0].isdigit() or outcome == "closed":
                outcomes[outcome] += 1
            else:
                failures.append("%s: %s" % (name, outcome))
    answers = many_connections(port)
    if answers != ["200"] * len(answers):
        failures.append("48 connections from one address: %s" % collections.Counter(answers))
    if not slow_client(port, expected):
        failures.append("a byte-a-second client was not closed within %d s, or others were not served" % DEADLINE)
    if process.poll() is not None:
        failures.append("the server exited with %d: %r" % (process.returncode, process.stderr.read()[-2000:]))
    else:
        process.terminate()
        if process.wait(timeout=60) != 0:
            failures.append("SIGTERM after the hostile requests exits %d" % process.returncode)
    print("outcomes:", ", ".join("%s %d" % item for item in sorted(outcomes.items())))
    for failure in failures:
        print("FAIL:", failure, file=sys.stderr)
    print("%d failed" % len(failures))
    return 1 if failures else 0


sys.exit(main())
