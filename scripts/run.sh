#!/usr/bin/env bash
# Builds the extension process and runs it. Without a session bus it starts a
# private one and prints how to reach it from another shell.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target corvane-findersync corvane-companion corvane-finder >&2

bin="$PWD/build/default"
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
  exec dbus-run-session -- bash -c '
    echo "Private session bus: export DBUS_SESSION_BUS_ADDRESS=$DBUS_SESSION_BUS_ADDRESS" >&2
    echo "Stand-ins: '"$bin"'/tools/companion/corvane-companion, '"$bin"'/tools/finder/corvane-finder" >&2
    exec "$0" "$@"' "$bin/host/corvane-findersync" "$@"
fi
exec "$bin/host/corvane-findersync" "$@"
