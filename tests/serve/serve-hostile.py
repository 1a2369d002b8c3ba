#!/usr/bin/env python3
"""glyphtint-serve against hostile requests over raw sockets (hostile_requests.py): each
gets a 4xx or 5xx answer or a closed connection within a deadline, the server lives on,
and after each a picture comes byte-equal to glyphtint-render --strip's. A client that
sends a byte a second is closed within the timeout while others are served, and 48
connections at once from the loopback address are all answered. Requests whose answer
is known get exactly it, logged; at SIGTERM every request sent is answered and nothing
left counted keeps the server waiting; idle connections make room for new ones.
usage: serve-hostile.py BIN_DIR"""
import collections
import concurrent.futures
import os
import re
import signal
import socket
import subprocess
import sys
import tempfile
import threading
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


def read_all(connection, quiet=1.5):
    """What comes until the server closes or stays quiet; and whether it closed."""
    received = b""
    connection.settimeout(quiet)
    try:
        while chunk := connection.recv(65536):
            received += chunk
        return received, True
    except socket.timeout:
        return received, False
    except OSError:
        return received, True


def exact_answers(server):
    failures = []
    for name, data, status, logged in hostile_requests.exact_cases():
        with socket.create_connection(("127.0.0.1", server.port), timeout=DEADLINE) as connection:
            connection.sendall(data)
            received, _ = read_all(connection)
        head = received.partition(b"\r\n\r\n")[0]
        statuses = [int(s) for s in STATUS.findall(received)]
        if statuses != [status] or b"\r\nContent-Type: " not in head or b"\r\nX-Content-Type-Options: nosniff" not in head:
            failures.append("%s: answered %r, head %r" % (name, statuses, head[:300]))
        ends = time.monotonic() + 5
        while logged and not any(line.startswith(logged) for line in server.log) and time.monotonic() < ends:
            time.sleep(0.05)
        if logged and not any(line.startswith(logged) for line in server.log):
            failures.append("%s: no log line %r" % (name, logged))
    # The parameter bound holds for a later request on a connection too, which only
    # libmicrohttpd parses: 15 000 parameters are more than its memory for the connection
    # has records for.
    for count, parameter in ((1000, b"p%d=1"), (15000, b"p")):
        many = b"/info.json?" + b"&".join(parameter % i if b"%" in parameter else parameter for i in range(count))
        with socket.create_connection(("127.0.0.1", server.port), timeout=DEADLINE) as connection:
            connection.sendall(b"GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n")
            first = connection.recv(65536)
            connection.sendall(b"GET " + many + b" HTTP/1.1\r\nHost: x\r\n\r\n")
            received, _ = read_all(connection)
        statuses = [int(s) for s in STATUS.findall(first + received)]
        if statuses != [200, 400] or b"\r\nContent-Type: text/plain" not in received:
            failures.append("%d parameters after a first request: answered %r" % (count, statuses))
    return failures


def answered_at_sigterm():
    """8 connections of 4 pipelined renders each with SIGTERM among them: every render is
    answered. Then requests the daemon answered itself or never finished, and SIGTERM:
    the server exits at once, not after waiting for requests nobody will finish."""
    failures = []
    server = Server(BIN, "--threads", "1")
    # A client sending one request after another on its connection until told to close.
    last = []
    asking = threading.Event()

    def one_after_another(connection):
        with connection:
            received = b""
            try:
                while b"\r\nConnection: close" not in received:
                    connection.sendall(b"GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n")
                    received = b""
                    while not received.endswith(b"ok\n"):
                        chunk = connection.recv(65536)
                        if not chunk:
                            raise EOFError
                        received += chunk
                    asking.set()
            except (OSError, EOFError):
                pass
            asking.set()
            last.append(received)

    client = threading.Thread(target=one_after_another,
                              args=(socket.create_connection(("127.0.0.1", server.port), timeout=DEADLINE),))
    client.start()
    asking.wait(DEADLINE)
    connections = [socket.create_connection(("127.0.0.1", server.port), timeout=DEADLINE) for _ in range(8)]
    for index, connection in enumerate(connections):
        connection.sendall(b"".join(b"GET /strip.png?text=%s%d HTTP/1.1\r\nHost: x\r\n\r\n" % (b"m00" * 200, index * 4 + i)
                                    for i in range(4)))
    server.process.send_signal(signal.SIGTERM)
    answers = []
    for connection in connections:
        with connection:
            answers.append([int(s) for s in STATUS.findall(read_all(connection, quiet=DEADLINE)[0])])
    # Busy renderers may answer 503: an answer all the same.
    if any(len(a) != 4 or not set(a) <= {200, 503} for a in answers):
        failures.append("pipelined requests at SIGTERM answered %r" % answers)
    client.join()
    if b"\r\nConnection: close" not in last[0]:
        failures.append("a client's last answer before SIGTERM closed its connection: %r" % last[0][:200])
    if server.stop() != 0:
        failures.append("SIGTERM among pipelined requests exits %d" % server.process.returncode)
    server = Server(BIN)
    for data in (b"GET /c HTTP/1.1\r\nHost: x\r\nContent-Length: -1\r\n\r\n",
                 b"GET /info.json?" + b"&".join(b"p%d=1" % i for i in range(1000)) + b" HTTP/1.1\r\nHost: x\r\n\r\n",
                 b"GET /healthz HTTP/1.1\r\nHost: x\r\n\r\nGET /info.json?" + b"&p" * 15000 + b" HTTP/1.1\r\nHost: x\r\n\r\n"):
        with socket.create_connection(("127.0.0.1", server.port), timeout=DEADLINE) as connection:
            connection.sendall(data)
            read_all(connection)
    started = time.monotonic()
    server.process.send_signal(signal.SIGTERM)
    status = server.stop()
    if status != 0 or time.monotonic() - started > 5:
        failures.append("SIGTERM took %.1f s and exited %d" % (time.monotonic() - started, status))
    return failures


def room_for_new_clients():
    """At the connection limit, idle keep-alive connections are closed for new clients
    before slow senders of a request, and well before the header timeout."""
    server = Server(BIN, "--max-connections", "16", "--header-timeout", "10")
    port = server.port
    slow = [socket.create_connection(("127.0.0.1", port), timeout=DEADLINE) for _ in range(8)]
    for connection in slow:
        connection.sendall(b"GET /healthz HTTP/1.1\r\nHo")
    idle = []
    for _ in range(8):
        connection = socket.create_connection(("127.0.0.1", port), timeout=DEADLINE)
        connection.sendall(b"GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n")
        connection.recv(65536)
        idle.append(connection)
    started = time.monotonic()
    answers = []
    arriving = [socket.create_connection(("127.0.0.1", port), timeout=DEADLINE) for _ in range(4)]
    for connection in arriving:
        connection.sendall(b"GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n")
        received = b""
        while b"\r\n\r\n" not in received and (chunk := connection.recv(65536)):
            received += chunk
        answers += STATUS.findall(received)
    failures = []
    if answers != [b"200"] * 4 or time.monotonic() - started > 8:
        failures.append("new clients at the limit: %r after %.1f s" % (answers, time.monotonic() - started))
    closed = lambda group: sum(read_all(c, quiet=0.01)[1] for c in group)
    if closed(idle) < 4 or closed(slow) != 0:
        failures.append("closed for room: %d idle, %d slow" % (closed(idle), closed(slow)))
    for connection in slow + idle + arriving:
        connection.close()
    server.stop()
    return failures


def unwritable_log():
    """An access log that cannot be written stops the service with status 1 and why."""
    process = subprocess.Popen([os.path.join(BIN, "glyphtint-serve"), "--listen", "127.0.0.1:0"],
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    port = int(process.stdout.readline().decode().rstrip("/\n").rsplit(":", 1)[1])
    process.stdout.close()
    with socket.create_connection(("127.0.0.1", port), timeout=DEADLINE) as connection:
        connection.sendall(b"GET /healthz HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
        read_all(connection)
    try:
        status = process.wait(timeout=DEADLINE)
    except subprocess.TimeoutExpired:
        process.kill()
        status = process.wait()
    message = process.stderr.read()
    return [] if status == 1 and b"access log cannot be written" in message else [
        "an unwritable access log: exit %d, %r" % (status, message[-300:])]


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
    failures += exact_answers(server)
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
    failures += answered_at_sigterm() + room_for_new_clients() + unwritable_log()
    for failure in failures:
        print("FAIL:", failure, file=sys.stderr)
    print("%d failed" % len(failures))
    return 1 if failures else 0


sys.exit(main())
