#!/usr/bin/env python3
"""glyphtint-serve's container image, checked from outside with podman:
  check-image.py build BUILD_DIR          builds the image (target oci-image) and loads it
  check-image.py reproducible BUILD_DIR   builds it again, from scratch: the same digest
  check-image.py run BUILD_DIR            a container serves /healthz and the strip that
                                          glyphtint-render writes, as an unprivileged user
                                          on a read-only root, logging to standard output
  check-image.py compose BUILD_DIR        the containers of compose.yaml behind nginx with
                                          the example it mounts: a HIT for a repeated name,
                                          every request answered with one container stopped
Containers run with --network host and runc, which work where crun and podman's own
networks do not. Exits 77 where podman, runc or mmdebstrap are missing or the Debian
mirror cannot be reached."""
import importlib.util
import os
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.request

# The nginx check is imported from the source tree, which gets no __pycache__.
sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
MODE, BUILD = sys.argv[1], os.path.abspath(sys.argv[2])
IMAGE = os.path.join(BUILD, "glyphtint-serve-oci.tar")
PODMAN_RUN = ["podman", "run", "--runtime", "runc", "--network", "host", "--ulimit", "nofile=1024:1024",
              "--ulimit", "nproc=1024:1024"]
nginx_check = importlib.util.spec_from_file_location("check_nginx", os.path.join(HERE, "..", "nginx", "check-nginx.py"))
nginx = importlib.util.module_from_spec(nginx_check)
nginx_check.loader.exec_module(nginx)
check, FAILURES = nginx.check, nginx.FAILURES


def skip(why):
    print(why + ": skipped")
    sys.exit(77)


def run(*command, **options):
    return subprocess.run(command, check=True, capture_output=True, text=True, **options).stdout


def cache_value(name):
    for line in open(os.path.join(BUILD, "CMakeCache.txt")):
        if line.startswith(name + ":"):
            return line.split("=", 1)[1].strip()
    raise RuntimeError("%s is not in the CMake cache" % name)


def tag():
    return "glyphtint-serve:" + cache_value("CMAKE_PROJECT_VERSION")


def digest(archive):
    return run(sys.executable, os.path.join(HERE, "make-oci.py"), "--digest", archive).strip()


def get(url):
    try:
        with urllib.request.urlopen(url, timeout=60) as response:
            return response.status, response.read()
    except urllib.error.HTTPError as error:
        return error.code, error.read()


class Container:
    """One container of the image, listening on a free loopback port."""

    def __init__(self, *options, listen=None):
        self.port = nginx.free_port()
        self.name = "glyphtint-check-%d-%d" % (os.getpid(), self.port)
        self.url = "http://127.0.0.1:%d/" % self.port
        run(*PODMAN_RUN, "-d", "--name", self.name, *options, "-e",
            "GLYPHTINT_LISTEN=%s:%d" % (listen or "127.0.0.1", self.port), tag())
        for _ in range(300):
            if "listening on" in self.logs():
                return
            time.sleep(0.1)
        raise RuntimeError("the container does not listen: %s" % self.logs())

    def logs(self):
        return subprocess.run(["podman", "logs", self.name], capture_output=True, text=True).stdout

    def stop(self):
        subprocess.run(["podman", "stop", "-t", "30", self.name], capture_output=True)

    def remove(self):
        subprocess.run(["podman", "rm", "-f", self.name], capture_output=True)


def build():
    try:
        urllib.request.urlopen("http://deb.debian.org/debian/dists/bookworm/Release", timeout=30).close()
    except OSError as error:
        skip("the Debian mirror cannot be reached (%s)" % error)
    subprocess.run(["cmake", "--build", BUILD, "--target", "oci-image"], check=True)
    print(run("podman", "load", "-i", IMAGE))
    check(tag() in run("podman", "images", "--format", "{{.Repository}}:{{.Tag}}"), "podman load gave no " + tag())


def reproducible():
    with tempfile.TemporaryDirectory() as scratch:
        again = os.path.join(scratch, "image.tar")
        subprocess.run([os.path.join(HERE, "build-image.sh"), BUILD, again, cache_value("CMAKE_PROJECT_VERSION"),
                        os.path.join(BUILD, "oci", "apt-cache"), cache_value("GLYPHTINT_OCI_SUITE"),
                        cache_value("GLYPHTINT_OCI_MIRROR")], check=True, env=dict(os.environ, GLYPHTINT_OCI_REBUILD="1"))
        check(digest(again) == digest(IMAGE), "two builds: %s and %s" % (digest(IMAGE), digest(again)))


def serving():
    container = Container("--read-only", "-e", "GLYPHTINT_PUBLIC_URL=https://names.example/glyphs")
    try:
        status, body = get(container.url + "healthz")
        check(status == 200 and body == b"ok\n", "/healthz: %d %r" % (status, body))
        # GLYPHTINT_PUBLIC_URL reaches the service as its public address.
        status, body = get(container.url)
        check(status == 200 and b'content="https://names.example/glyphs/"' in body,
              "the page does not carry the public address: %d" % status)
        with tempfile.TemporaryDirectory() as scratch:
            expected = os.path.join(scratch, "strip.png")
            subprocess.run([os.path.join(BUILD, "bin", "glyphtint-render"), "--strip", expected, "^1m00 ^7in a ^2box"],
                           check=True, env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
            status, body = get(container.url + "strip.png?text=%5E1m00+%5E7in+a+%5E2box")
            check(status == 200 and body == open(expected, "rb").read(), "the container's strip differs: %d" % status)
        identity = run("podman", "exec", container.name, "id", "-u")
        check(identity.strip() not in ("", "0"), "the service runs as user %r" % identity)
        # Even root in the container cannot write there: the root is read-only, and the
        # service runs all the same.
        writable = subprocess.run(["podman", "exec", "--user", "0", container.name, "sh", "-c", "echo x >/x"],
                                  capture_output=True, text=True)
        check(writable.returncode != 0 and "Read-only" in writable.stderr,
              "the root file system is writable: %r" % writable.stderr)
        health = subprocess.run(["podman", "exec", container.name, "/usr/local/lib/healthcheck.sh"])
        check(health.returncode == 0, "the image's health check fails: %d" % health.returncode)
        check("GET /strip.png 200" in container.logs(), "no access log on standard output: %r" % container.logs())
        container.stop()
        state = run("podman", "inspect", "--format", "{{.State.ExitCode}}", container.name).strip()
        check(state == "0", "the container stopped with %s" % state)
    finally:
        container.remove()
    # Stopped, its health check fails.
    unhealthy = subprocess.run(PODMAN_RUN + ["--rm", "--entrypoint", "/usr/local/lib/healthcheck.sh", "-e",
                                             "GLYPHTINT_LISTEN=127.0.0.1:%d" % nginx.free_port(), tag()],
                               capture_output=True)
    check(unhealthy.returncode != 0, "the health check passes with no service")


def compose():
    import yaml
    services = yaml.safe_load(open(os.path.join(HERE, "compose.yaml")))["services"]
    backends = [service for name, service in sorted(services.items()) if name.startswith("glyphtint")]
    check([service["environment"]["GLYPHTINT_LISTEN"] for service in backends] == ["127.0.0.1:8081", "127.0.0.1:8082"],
          "compose.yaml's instances are not on 8081 and 8082")
    check(all(service["image"] == tag() and service["read_only"] and service["network_mode"] == "host"
              for service in backends), "compose.yaml's instances: %r" % backends)
    mount = services["nginx"]["volumes"][0].split(":")
    example = os.path.normpath(os.path.join(HERE, mount[0]))
    check(example == os.path.normpath(os.path.join(HERE, "..", "nginx", "glyphtint-serve.conf")),
          "compose.yaml mounts %s, not the nginx example" % mount[0])
    containers = []
    proxy = None
    scratch = tempfile.mkdtemp()
    try:
        for service in backends:
            containers.append(Container("--read-only"))
        proxy, port = nginx.start_nginx(scratch, containers[0].port, containers[1].port, example)
        nginx.caching(port)
        for n in range(4):
            status, _ = get("http://127.0.0.1:%d/info.json?text=spread%d" % (port, n))
            check(status == 200, "spread %d: %d" % (n, status))
        containers[0].stop()
        for n in range(8):
            status, body = get("http://127.0.0.1:%d/strip.png?text=%%5E2one+stopped+%d" % (port, n))
            check(status == 200 and body.startswith(b"\x89PNG"), "request %d with a container stopped: %d" % (n, status))
    finally:
        if proxy is not None:
            proxy.terminate()
            proxy.wait(timeout=30)
        for container in containers:
            container.remove()
        shutil.rmtree(scratch, ignore_errors=True)


for tool in ("podman", "runc", "mmdebstrap"):
    if shutil.which(tool) is None and not os.access("/usr/sbin/" + tool, os.X_OK):
        skip("%s is missing (scripts/setup.sh installs it)" % tool)
if MODE == "compose" and nginx.NGINX is None:
    skip("nginx is missing")
{"build": build, "reproducible": reproducible, "run": serving, "compose": compose}[MODE]()
print("%d failed" % len(FAILURES))
sys.exit(1 if FAILURES else 0)
