#!/usr/bin/env python3
"""Packs a root file system tar into glyphtint-serve's image archive, byte for byte the
same for the same root: an OCI image layout (oci-layout, index.json, blobs/sha256/...),
which `podman load` reads, with Docker's manifest.json beside it naming the same blobs,
which `docker load` reads. One gzip layer; the configuration runs the entry point as the
unprivileged user glyphtint, on port 8080, with /healthz as the health check.
usage: make-oci.py ROOT.tar OUT.tar VERSION
       make-oci.py --digest OUT.tar     prints the image's manifest digest"""
import gzip
import hashlib
import io
import json
import os
import sys
import tarfile
import time

NAME = "glyphtint-serve"


def digest_of(archive):
    with tarfile.open(archive) as tar:
        index = json.load(tar.extractfile("index.json"))
    return index["manifests"][0]["digest"]


def gzip_layer(root, out):
    """Compresses ROOT into OUT; the digests of the tar (the diff id) and of the gzip."""
    tar_hash, gzip_hash = hashlib.sha256(), hashlib.sha256()

    class Hashed(io.RawIOBase):
        def writable(self):
            return True

        def write(self, data):
            gzip_hash.update(data)
            out.write(data)
            return len(data)

    with open(root, "rb") as source, gzip.GzipFile(fileobj=Hashed(), mode="wb", compresslevel=6, mtime=0,
                                                   filename="") as packed:
        while chunk := source.read(1 << 20):
            tar_hash.update(chunk)
            packed.write(chunk)
    return "sha256:" + tar_hash.hexdigest(), "sha256:" + gzip_hash.hexdigest()


def blob(data):
    return "sha256:" + hashlib.sha256(data).hexdigest(), data


def main():
    if sys.argv[1] == "--digest":
        print(digest_of(sys.argv[2]))
        return
    root, out, version = sys.argv[1:4]
    epoch = int(os.environ["SOURCE_DATE_EPOCH"])
    created = time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(epoch))
    layer_path = out + ".layer"
    with open(layer_path, "wb") as layer:
        diff_id, layer_digest = gzip_layer(root, layer)
    layer_size = os.path.getsize(layer_path)
    second = 1000000000
    config_digest, config = blob(json.dumps({
        "created": created,
        "architecture": "amd64",
        "os": "linux",
        "config": {
            "User": "10001:10001",
            "Env": ["PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin",
                    "QT_QPA_PLATFORM=offscreen", "XDG_CACHE_HOME=/tmp", "GLYPHTINT_LISTEN=0.0.0.0:8080"],
            "Entrypoint": ["/usr/local/lib/entrypoint.sh"],
            "ExposedPorts": {"8080/tcp": {}},
            "StopSignal": "SIGTERM",
            "WorkingDir": "/",
            "Healthcheck": {"Test": ["CMD", "/usr/local/lib/healthcheck.sh"], "Interval": 30 * second,
                            "Timeout": 5 * second, "StartPeriod": 10 * second, "Retries": 3},
            "Labels": {"org.opencontainers.image.title": NAME, "org.opencontainers.image.version": version},
        },
        "rootfs": {"type": "layers", "diff_ids": [diff_id]},
        "history": [{"created": created, "created_by": "mmdebstrap with the glyphtint package"}],
    }, sort_keys=True).encode())
    manifest_digest, manifest = blob(json.dumps({
        "schemaVersion": 2,
        "mediaType": "application/vnd.oci.image.manifest.v1+json",
        "config": {"mediaType": "application/vnd.oci.image.config.v1+json", "digest": config_digest,
                   "size": len(config)},
        "layers": [{"mediaType": "application/vnd.oci.image.layer.v1.tar+gzip", "digest": layer_digest,
                    "size": layer_size}],
    }, sort_keys=True).encode())
    tag = "%s:%s" % (NAME, version)
    index = json.dumps({
        "schemaVersion": 2,
        "mediaType": "application/vnd.oci.image.index.v1+json",
        "manifests": [{"mediaType": "application/vnd.oci.image.manifest.v1+json", "digest": manifest_digest,
                       "size": len(manifest),
                       "annotations": {"org.opencontainers.image.ref.name": tag,
                                       "io.containerd.image.name": "docker.io/library/" + tag}}],
    }, sort_keys=True).encode()
    path = lambda digest: "blobs/sha256/" + digest.split(":")[1]
    docker = json.dumps([{"Config": path(config_digest), "RepoTags": [tag], "Layers": [path(layer_digest)]}]).encode()

    def entry(name, size, mode=0o644, kind=tarfile.REGTYPE):
        info = tarfile.TarInfo(name)
        info.size, info.mode, info.type, info.mtime = size, mode, kind, epoch
        info.uid = info.gid = 0
        info.uname = info.gname = ""
        return info

    with tarfile.open(out, "w", format=tarfile.PAX_FORMAT) as tar:
        for folder in ("blobs", "blobs/sha256"):
            tar.addfile(entry(folder, 0, 0o755, tarfile.DIRTYPE))
        files = {"oci-layout": b'{"imageLayoutVersion":"1.0.0"}', "index.json": index, "manifest.json": docker,
                 path(config_digest): config, path(manifest_digest): manifest}
        for name in sorted(files):
            tar.addfile(entry(name, len(files[name])), io.BytesIO(files[name]))
        with open(layer_path, "rb") as layer:
            tar.addfile(entry(path(layer_digest), layer_size), layer)
    os.remove(layer_path)


main()
