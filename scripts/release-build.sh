#!/usr/bin/env bash
# Builds everything the way a user or packager would: no preset, their build
# type, our warnings reported but never fatal.
#   scripts/release-build.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."

dir="${1:-build/release}"
scripts/install-deps.sh
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$dir"
