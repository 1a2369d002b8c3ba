#!/bin/bash
# The container's health check: /healthz of the service answers 200 within 5 seconds.
# Plain bash, so that the image needs no HTTP client.
listen=${GLYPHTINT_LISTEN:-0.0.0.0:8080}
host=${listen%:*}
host=${host#[}
host=${host%]}
case $host in 0.0.0.0 | :: | "") host=127.0.0.1 ;; esac
exec 3<>"/dev/tcp/$host/${listen##*:}" || exit 1
printf 'GET /healthz HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n' >&3
IFS= read -r -t 5 status <&3 || exit 1
[[ $status == "HTTP/1.1 200 "* ]]
