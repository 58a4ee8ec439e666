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
# The demo job, built from scratch: the board with its three layers, a 2 x 2
# panel, and a registration mark at two corners. Files are named relative to
# the root, so the job names them relative to its own folder.
job="$out/demo.wpr"
settings="$out/GerbPrj.ini"
cat > "$settings" <<EOF
[Setup]
Jednotka=mm
NameM1=Target
PathM1=../../examples/demo/demo-mark.gbr
EOF
(
  cd "$root"
  j=(--settings "$settings")
  "$cli" job new --force "$job" "${j[@]}"
  "$cli" job add "$job" examples/demo/demo-top.gbr --layer 1 --at 0.5,0.5 "${j[@]}"
  "$cli" job layer "$job" --board 1 --layer 2 examples/demo/demo-bottom.gbr "${j[@]}"
  "$cli" job layer "$job" --board 1 --layer 3 examples/demo/demo-silk.pho \
    --apertures examples/demo/demo-silk.Env "${j[@]}"
  "$cli" job panelize "$job" --board 1 --repeat 1,1 --gap 5,5 "${j[@]}"
  "$cli" job mark "$job" --name Target --at 0.2,0.2 "${j[@]}"
  "$cli" job mark "$job" --name Target --at 5.4,4.6 "${j[@]}"
  "$cli" job list "$job" "${j[@]}" > "$out/demo.job.txt"
  "$cli" job list --json "$job" "${j[@]}" > "$out/demo.job.json"
)
# The board's drill file panelized over the job, with the marks' hits, and
# its overview.
"$cli" drill "$job" --in "$root/examples/demo/demo.drl" --out "$out/demo-panel.drl" \
  --format 2.4,trailing,inch --overview "$out/demo-drill.png"
# The photoplotter export of the job at 2032 dpi, and the plotter file's
# image decoded back in file order (the mirror is off: upside down).
echo
"$cli" export "$job" -o "$out/demo.fpf" --settings "$settings" --overview "$out/demo-overview.png"
"$cli" fpf decode "$out/demo.fpf" -o "$out/demo-fpf.png"
echo
echo "Demo output written to $out"
echo "Plotter file: $out/demo.fpf"
echo "Decoded plotter file: $out/demo-fpf.png"
