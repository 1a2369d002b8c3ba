#!/bin/sh
# glyphtint-serve as a container runs it: on the container's port 8080 unless
# GLYPHTINT_LISTEN names another address, with GLYPHTINT_PUBLIC_URL as --public-url,
# then GLYPHTINT_SERVE_OPTIONS and the container's arguments. The access log goes to
# standard output.
set -e
# shellcheck disable=SC2086 # the options are words
set -- --listen "${GLYPHTINT_LISTEN:-0.0.0.0:8080}" ${GLYPHTINT_PUBLIC_URL:+--public-url "$GLYPHTINT_PUBLIC_URL"} \
  $GLYPHTINT_SERVE_OPTIONS "$@"
exec /usr/bin/glyphtint-serve "$@"
