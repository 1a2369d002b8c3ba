"""What the tests of glyphtint-serve share: a service started on a free loopback port,
its access log read as it comes (so that it never waits on a full pipe), and failures
collected rather than ending the test at the first."""
import http.client
import os
import signal
import subprocess
import sys
import threading

FAILURES = []


def check(condition, what):
    if not condition:
        FAILURES.append(what)
        print("FAIL:", what, file=sys.stderr)


class Server:
    def __init__(self, bin_dir, *arguments, environment=None):
        self.process = subprocess.Popen(
            [os.path.join(bin_dir, "glyphtint-serve"), "--listen", "127.0.0.1:0", *arguments],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=environment)
        line = self.process.stdout.readline().decode()
        if not line.startswith("listening on http://127.0.0.1:"):
            raise RuntimeError("no listening line: %r %r" % (line, self.process.stderr.read()))
        self.port = int(line.rstrip("/\n").rsplit(":", 1)[1])
        self.log = []
        self.reader = threading.Thread(target=lambda: self.log.extend(self.process.stdout), daemon=True)
        self.reader.start()

    def connection(self):
        return http.client.HTTPConnection("127.0.0.1", self.port, timeout=60)

    def served(self):
        """How many requests the access log shows answered 200."""
        return sum(1 for line in self.log if b" 200 " in line)

    def stop(self):
        """SIGTERM, once, and the exit status."""
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
        status = self.process.wait(timeout=60)
        self.reader.join(timeout=10)
        return status
