#!/usr/bin/env bash
# The main job on the bundled example: what drumplot learns from each layer.
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
cli="$root/$build/cli/drumplot-cli"
out="$root/out/demo"
mkdir -p "$out"
for layer in demo-top.gbr demo-bottom.gbr demo-silk.pho; do
  "$cli" info "$root/examples/demo/$layer" | tee "$out/${layer%.*}.info.txt"
  "$cli" info --json "$root/examples/demo/$layer" > "$out/${layer%.*}.info.json"
  echo
done
echo "Demo output written to $out"
