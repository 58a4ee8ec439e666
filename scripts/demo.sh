#!/usr/bin/env bash
# The main job on the bundled example board, the Particle Core
# (examples/particle-core): a 2 x 2 panel with registration marks and a
# tech area, its top copper as a plotter file, every layer as a TIFF film,
# the panel's drill file, and the overview pictures.
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
cli="$root/$build/cli/drumplot-cli"
out="$root/out/demo"
board=examples/particle-core
mkdir -p "$out"
"$cli" info "$root/$board/core.GTL" | tee "$out/core-top.info.txt"
"$cli" info --json "$root/$board/core.GTL" > "$out/core-top.info.json"
echo

# The settings: millimetres, the layers' names, the mark (a ring with a
# cross) and a tech area of 8 mm on each side, 5 mm from the boards.
settings="$out/GerbPrj.ini"
cat > "$settings" <<EOF
[Setup]
Jednotka=mm
NameM1=Target
PathM1=../../examples/demo/demo-mark.gbr
Left=8000
Right=8000
Top=8000
Bottom=8000
Distance=5000
[Layers]
Name1=Top_copper
Name2=Bottom_copper
Name3=Top_mask
Name4=Bottom_mask
Name5=Top_silk
EOF

# The job, built from scratch: the board with its five layers, a 2 x 2 panel
# with 5 mm gaps and a mark beside two opposite corners. Files are named
# relative to the root, so the job names them relative to its own folder.
job="$out/core-panel.wpr"
(
  cd "$root"
  j=(--settings "$settings")
  "$cli" job new --force "$job" "${j[@]}"
  "$cli" job add "$job" $board/core.GTL --layer 1 --at 0.4,0.4 "${j[@]}"
  layer=2
  for f in core.GBL core.GTS core.GBS core.GTO; do
    "$cli" job layer "$job" --board 1 --layer $layer $board/$f "${j[@]}"
    layer=$((layer + 1))
  done
  "$cli" job panelize "$job" --board 1 --repeat 1,1 --gap 5,5 "${j[@]}"
  "$cli" job mark "$job" --name Target --at 0.1,0.1 "${j[@]}"
  "$cli" job mark "$job" --name Target --at 2.3,3.3 "${j[@]}"
  "$cli" job list "$job" "${j[@]}" > "$out/core-panel.job.txt"
  "$cli" job list --json "$job" "${j[@]}" > "$out/core-panel.job.json"
)

# The board's drill file panelized over the job, with the marks' hits, and
# its overview. The file states INCH,TZ; its digits are the standard's 2.4.
"$cli" drill "$job" --in "$root/$board/core.TXT" --out "$out/core-panel.drl" \
  --overview "$out/core-drill.png"
echo

# The top copper as a plotter file at 2032 dpi with the tech area, its
# overview, and its preview (the film as the plotter will expose it).
"$cli" export "$job" -o "$out/core-top.fpf" --settings "$settings" --layers 1 --tech-area \
  --overview "$out/core-overview.png"
"$cli" fpf decode "$out/core-top.fpf" --part preview -o "$out/core-top-preview.png"
echo

# Every layer as a TIFF film (Group 4), one file per layer.
"$cli" export "$job" -o "$out/core.tif" --settings "$settings" --layers 1,2,3,4,5 --tech-area \
  --split-layers
echo

# The same panel in one command: the job's template, then plot from the
# board's folder into a folder of films, drill file, job and report.
"$cli" job template "$job" --settings "$settings" -o "$out/core-panel.ini" --tech-area
"$cli" plot "$root/$board" --template "$out/core-panel.ini" --out "$out/plot" \
  --settings "$settings" --force > /dev/null
echo "plot: $(grep -c ' pixels at ' "$out/plot/report.txt") films in $out/plot (report.txt)"
echo
echo "Demo output written to $out"
echo "Plotter file of the top copper: $out/core-top.fpf (preview: $out/core-top-preview.png)"
echo "TIFF films: $out/core-0*.tif"
