#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
scripts/install-deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target plist_reader_fuzz
corpus="build/fuzz/corpus"
mkdir -p "$corpus"
cp fuzz/corpus/* "$corpus"/ 2>/dev/null || true
build/fuzz/fuzz/plist_reader_fuzz -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 \
  -dict=fuzz/plist.dict "$corpus"
