#!/usr/bin/env bash
# Builds everything and runs every test on a private session bus.
#   scripts/test.sh          the default build
#   scripts/test.sh asan     the AddressSanitizer and UBSan build
set -euo pipefail
cd "$(dirname "$0")/.."

preset="${1:-default}"
scripts/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
# Every test that needs a bus starts its own; the outer one keeps stray
# clients off the user's real session bus.
dbus-run-session -- ctest --preset "$preset" -j2
