#!/usr/bin/env bash
# fuzz.sh BUILD_DIR SECONDS: runs every fuzz_* target of a fuzz build for SECONDS each, from
# the seeds in fuzz/seeds/<target>/ (and the captured HID descriptors for descriptor targets).
# Fails on any crash, hang (> 5 s per input) or memory growth beyond 512 MB.
set -euo pipefail
build=$1
seconds=$2
top=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

status=0
for target in "$build"/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus="$work/$name"
  mkdir -p "$corpus"
  [ -d "$top/fuzz/seeds/$name" ] && cp -r "$top/fuzz/seeds/$name/." "$corpus/"
  if [ "$name" = fuzz_hid_descriptor ] || [ "$name" = fuzz_input_report ]; then
    for f in "$top"/tests/data/hid-descriptors/*.rdesc; do
      head -n 1 "$f" | xxd -r -p > "$corpus/$(basename "$f" .rdesc)"
    done
  fi
  if [ "$name" = fuzz_storage_readers ]; then
    cp "$top"/DefaultData/* "$corpus/"
  fi
  echo "--- $name: ${seconds}s"
  if ! ASAN_OPTIONS=quarantine_size_mb=16:malloc_context_size=5 "$target" "$corpus" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=512 \
        -print_final_stats=1 -artifact_prefix="$work/" 2>"$work/$name.log"; then
    tail -n 40 "$work/$name.log"
    mkdir -p "$top/build/fuzz-artifacts"
    cp "$work"/crash-* "$work"/timeout-* "$work"/oom-* "$top/build/fuzz-artifacts/" 2>/dev/null || true
    status=1
  else
    grep -E 'stat::number_of_executed_units|stat::peak_rss_mb' "$work/$name.log" || true
  fi
done
exit $status
