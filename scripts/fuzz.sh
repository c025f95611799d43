#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time:
# the property-list reader, and the execute request as a notification and as
# a stored record.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
scripts/install-deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target plist_reader_fuzz execute_request_fuzz
# Each target grows its own corpus from the seeds in fuzz/corpus/<name>.
run() {
  local target="$1" seeds="$2"
  shift 2
  local corpus="build/fuzz/corpus/$seeds"
  mkdir -p "$corpus"
  cp "fuzz/corpus/$seeds"/* "$corpus"/
  "build/fuzz/fuzz/$target" -max_total_time="$seconds" -rss_limit_mb=2048 "$@" "$corpus"
}
run plist_reader_fuzz plist -max_len=65536 -dict=fuzz/plist.dict
run execute_request_fuzz execute -max_len=4096
