#!/usr/bin/env bash
# Builds the Debian packages from the files git tracks (and new files it does
# not ignore) as they are in the working tree, and checks them with lintian.
#   scripts/package.sh [OUT_DIR]    (default: build/packages)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
out="$(realpath -m "${1:-build/packages}")"
version="$(dpkg-parsechangelog -S Version)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# dpkg-buildpackage writes next to the source tree: build in a copy.
mkdir "$work/corvane-$version"
git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf - | tar -xf - -C "$work/corvane-$version"
(cd "$work/corvane-$version" && dpkg-buildpackage -us -uc -b -j"$(nproc)" >&2)

# What a user installs, and apart from it the debug symbols.
mkdir -p "$out/debug"
rm -f "$out"/*.deb "$out"/debug/*.deb
mv "$work"/*-dbgsym_*.deb "$out"/debug/
mv "$work"/*.deb "$out"/
lintian --fail-on error,warning --info "$out"/*.deb "$out"/debug/*.deb
ls -1 "$out"/*.deb
