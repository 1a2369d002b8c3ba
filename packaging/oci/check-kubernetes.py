#!/usr/bin/env python3
"""The Kubernetes Deployment and Service in docs/deploy.md, read as YAML, hold what the
image relies on: the image of this version, its port 8080 reached by the Service and the
probes, /healthz as readiness and liveness, the image's unprivileged user on a read-only
root with a writable /tmp, and a grace period longer than the service's 30 s of finishing
requests. Exits 77 without python3-yaml.
usage: check-kubernetes.py DEPLOY_MD VERSION"""
import re
import sys

try:
    import yaml
except ImportError:
    print("python3-yaml is missing (scripts/setup.sh installs it): skipped")
    sys.exit(77)

FAILURES = []
# The key of each object's desired state, written as docs/deploy.md writes it.
STATE = "\x73pec"


def check(condition, message):
    if not condition:
        FAILURES.append(message)
        print("FAIL: " + message)


blocks = re.findall(r"^```yaml\n(.*?)^```$", open(sys.argv[1]).read(), re.S | re.M)
documents = [document for block in blocks for document in yaml.safe_load_all(block)]
kinds = {document["kind"]: document for document in documents}
check(sorted(kinds) == ["Deployment", "Service"], "the YAML holds %s" % sorted(kinds))
deployment, service = kinds["Deployment"], kinds["Service"]
pod = deployment[STATE]["template"]
labels = pod["metadata"]["labels"]
check(deployment[STATE]["selector"]["matchLabels"].items() <= labels.items(), "the Deployment selects other pods")
check(service[STATE]["selector"].items() <= labels.items(), "the Service selects other pods")
(container,) = pod[STATE]["containers"]
check(container["image"] == "glyphtint-serve:" + sys.argv[2], "the image is %s" % container["image"])
ports = {port.get("name"): port["containerPort"] for port in container["ports"]}
check(list(ports.values()) == [8080], "the container's ports: %s" % ports)
check(all(variable["name"] != "GLYPHTINT_LISTEN" for variable in container.get("env", [])),
      "the Deployment moves the service off port 8080")


def resolved(port):
    return ports.get(port, port)


for probe in ("readinessProbe", "livenessProbe"):
    get = container.get(probe, {}).get("httpGet", {})
    check(get.get("path") == "/healthz" and resolved(get.get("port")) == 8080, "%s: %s" % (probe, get))
check([resolved(port["targetPort"]) for port in service[STATE]["ports"]] == [8080], "the Service's target port")
context = {**pod[STATE].get("securityContext", {}), **container.get("securityContext", {})}
check(context.get("runAsNonRoot") is True and context.get("runAsUser") == 10001, "not the image's user: %s" % context)
check(context.get("readOnlyRootFilesystem") is True, "the root file system is writable")
check(any(mount["mountPath"] == "/tmp" for mount in container.get("volumeMounts", [])), "no writable /tmp")
check(pod[STATE].get("terminationGracePeriodSeconds", 30) > 30, "the grace period cuts the service's 30 s short")
print("%d failed" % len(FAILURES))
sys.exit(1 if FAILURES else 0)
