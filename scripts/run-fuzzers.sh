#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for the given number of seconds,
# each on its own corpus folder, seeded from fuzz/seeds/TARGET.
set -euo pipefail
build=$1
seconds=$2
root=$(cd "$(dirname "$0")/.." && pwd)
for target in "$build"/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus="$root/fuzz/corpus-run/$name"
  mkdir -p "$corpus"
  seeds="$root/fuzz/seeds/$name"
  echo "== $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
    "$corpus" $( [ -d "$seeds" ] && echo "$seeds" ) 2>&1 | grep -E '^#[0-9]+.*(DONE|pulse)|ERROR|SUMMARY|Done' | tail -3
  [ "${PIPESTATUS[0]}" -eq 0 ] || { echo "$name found a fault"; exit 1; }
done
