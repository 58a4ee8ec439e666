#!/usr/bin/env bash
# The export's figures, from one run: the fast way against the literal way
# (--reference) on a job of 8 or more bands, the second thread, the
# memory-bandwidth floor (an empty job of the same size), for all six
# layers on one film and for each layer's own film, the TIFF film (Group 4)
# against the plotter file, and peak memory.
# The job: the largest board of the corpus (about 10 x 10 inches, six
# layers), twice side by side. Each time is the best of $RUNS runs.
#
#   bash bench/export_bench.sh [BUILD_DIR]     (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
cli="$root/$build/cli/drumplot-cli"
runs=${RUNS:-5}
memory=${MEMORY_MB:-64}
corpus=${DRUMPLOT_CORPUS:-$root/../shared/corpus}
board="$corpus/gerbonara/tests/resources/orcad"
[[ -x "$cli" ]] || { echo "no $cli: build it first (make build, or cmake --build $build)" >&2; exit 1; }
[[ -f "$board/LAYER_1.art" ]] || { echo "the corpus is not at $corpus (set DRUMPLOT_CORPUS)" >&2; exit 1; }

# The files go to memory (/dev/shm) when it can take them, so that the times
# are the export's own work and not the disk's mood; set BENCH_TMP to a
# folder on disk to include writing and syncing the file.
tmp=${BENCH_TMP:-/dev/shm}
[[ -d "$tmp" && -w "$tmp" ]] || tmp=${TMPDIR:-/tmp}
work=$(mktemp -d -p "$tmp")
# The check's warnings (the same each run) go aside; a failing run shows them.
said="$work/stderr"
trap 'status=$?; ((status == 0)) || tail -5 "$said" >&2 2> /dev/null; rm -rf "$work"' EXIT
settings="$work/GerbPrj.ini"
# A plotting area of 600 x 600 mm, room for the panel.
printf '[Setup]\nJednotka=mm\nMemory=%s\nSirka=6000000\nVyska=6000000\n' "$memory" > "$settings"
j=(--settings "$settings")

# The panel, and an empty job of the same size: a board whose file only
# flashes an aperture of size 0 (which exposes nothing) at the corners of
# the same extents.
panel="$work/panel.wpr"
empty="$work/empty.wpr"
"$cli" job new --force "$panel" "${j[@]}" > /dev/null
"$cli" job add "$panel" "$board/LAYER_1.art" --layer 1 --at 0.3,0.3 "${j[@]}" > /dev/null
layer=2
for f in LAYER_2 PWR Solder_Mask_Bottom silk_screen_top silk_screen_bottom; do
  "$cli" job layer "$panel" --board 1 --layer $layer "$board/$f.art" "${j[@]}" > /dev/null
  layer=$((layer + 1))
done
"$cli" job panelize "$panel" --board 1 --repeat 1,0 "${j[@]}" > /dev/null
printf '%%FSLAX25Y25*%%\n%%MOIN*%%\n%%ADD10C,0*%%\nD10*\nX-505000Y-495000D03*\nX500000Y500000D03*\nM02*\n' > "$work/empty.gbr"
"$cli" job new --force "$empty" "${j[@]}" > /dev/null
"$cli" job add "$empty" "$work/empty.gbr" --layer 1 --at 0.3,0.3 "${j[@]}" > /dev/null
"$cli" job panelize "$empty" --board 1 --repeat 1,0 "${j[@]}" > /dev/null

# pair "JOB ARGS..." "JOB ARGS...": the best times in seconds of $runs
# exports each (the export's own clock, the file's commit included), the two
# taken in turn so that a slow spell of a shared machine meets both alike;
# each run's peak memory is noted.
pair() {
  local -a first second
  read -ra first <<< "$1"
  read -ra second <<< "$2"
  local a="" b="" out t
  for ((i = 0; i < runs; i++)); do
    for side in first second; do
      local -n args=$side
      out=$("$cli" export --verbose "${args[0]}" -o "$work/out.fpf" "${j[@]}" "${args[@]:1}" 2>> "$said")
      t=$(sed -n 's/.*time \([0-9.]*\) s.*/\1/p' <<< "$out")
      sed -n 's/.*peak memory \([0-9.]*\) MB.*/\1/p' <<< "$out" >> "$work/peaks"
      if [[ $side == first ]]; then
        a=$(awk -v a="$a" -v b="$t" 'BEGIN { print (a == "" || b < a) ? b : a }')
      else
        b=$(awk -v a="$b" -v b="$t" 'BEGIN { print (a == "" || b < a) ? b : a }')
      fi
    done
  done
  echo "$a $b"
}
bands() { "$cli" export --verbose "$@" -o "$work/out.fpf" "${j[@]}" 2>> "$said" | sed -n 's/.*, \([0-9]*\) bands* of.*/\1/p'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", a / b }'; }

echo "Job: $board (6 layers), 2 x 1 panel; memory budget $memory MB; $(nproc) processors; best of $runs; files in $tmp"

dpi=4064
n=$(bands "$panel" --dpi $dpi)
read -r fast literal < <(pair "$panel --dpi $dpi" "$panel --dpi $dpi --reference")
echo "Fast way at $dpi dpi ($n bands): $fast s; --reference $literal s: $(ratio "$literal" "$fast")x faster"

dpi=8128
read -r one two < <(pair "$panel --dpi $dpi --threads 1" "$panel --dpi $dpi --threads 2")
echo "At $dpi dpi: --threads 1 $one s, --threads 2 $two s: $(ratio "$one" "$two")x from the second thread"

# The same film as a TIFF (Group 4 strips, compressed on the workers) next
# to the plotter file, and both files' sizes.
read -r fpf tiff < <(pair "$panel --dpi $dpi --threads 2" "$panel --dpi $dpi --threads 2 --format tiff")
bytes() { "$cli" export --verbose "$@" "${j[@]}" 2>> "$said" | sed -n 's/.*, \([0-9]*\) bytes$/\1/p'; }
fpfBytes=$(bytes "$panel" --dpi $dpi -o "$work/out.fpf")
tiffBytes=$(bytes "$panel" --dpi $dpi -o "$work/out.tif")
echo "At $dpi dpi: plotter file $fpf s ($fpfBytes bytes), TIFF Group 4 $tiff s ($tiffBytes bytes): the TIFF takes $(ratio "$tiff" "$fpf")x the plotter file's time"

read -r panel2 floor < <(pair "$panel --dpi $dpi --threads 2" "$empty --dpi $dpi --threads 2")
size=$("$cli" export --verbose "$empty" -o "$work/out.fpf" --dpi $dpi "${j[@]}" 2>> "$said" | sed -n 's/.*: QK., \([0-9]* x [0-9]*\) pixels.*/\1/p')
echo "Floor at $dpi dpi: the empty job of the same size ($size pixels) $floor s; the panel $panel2 s: $(ratio "$panel2" "$floor")x the floor"

# A film carries one layer: each of the six as the operator plots it, the
# panel's two boards on one film, against the floor measured beside it.
layer=1
for f in LAYER_1 LAYER_2 PWR Solder_Mask_Bottom silk_screen_top silk_screen_bottom; do
  read -r film floor < <(pair "$panel --dpi $dpi --threads 2 --layers $layer" "$empty --dpi $dpi --threads 2")
  echo "  film of layer $layer ($f) alone: $film s, floor $floor s: $(ratio "$film" "$floor")x the floor"
  layer=$((layer + 1))
done

peak=$(sort -g "$work/peaks" | tail -1)
echo "Peak resident memory: $peak MB with a budget of $memory MB (limit $((memory + 64)) MB)"

# Memory at the highest resolution, where stamps and recordings are largest:
# a ground-pour board 3 x 3, and 0.3-inch pads with holes, a rectangle and a
# thermal on 2 boards x 18 layers (each layer its own file).
peakOf() {
  local out
  out=$("$cli" export --verbose "$1" -o "$work/out.fpf" --dpi 65024 "${j[@]}" 2>> "$said")
  echo "$(sed -n 's/.*time \([0-9.]*\) s.*/\1/p' <<< "$out") s, peak $(sed -n 's/.*peak memory \([0-9.]*\) MB.*/\1/p' <<< "$out") MB"
}
pour=$(find "$corpus" -name 'ATMEGA328_Motor_Board-F.Cu.gtl' | head -1)
if [[ -n "$pour" ]]; then
  "$cli" job new --force "$work/pour.wpr" "${j[@]}" > /dev/null
  "$cli" job add "$work/pour.wpr" "$pour" --layer 1 --at 0.3,0.3 "${j[@]}" > /dev/null
  "$cli" job panelize "$work/pour.wpr" --board 1 --repeat 2,2 "${j[@]}" > /dev/null
  echo "At 65024 dpi, ATMEGA328 F.Cu 3 x 3: $(peakOf "$work/pour.wpr") (budget $memory MB, limit $((memory + 64)) MB)"
fi
printf '%s\n' '%FSLAX24Y24*%' '%MOIN*%' '%AMTHERM*7,0,0,0.3,0.2,0.04,45*%' '%ADD10C,0.3X0.1*%' \
  '%ADD11R,0.3X0.2*%' '%ADD12THERM*%' 'D10*X5000Y5000D03*X15000Y5000D03*' 'D11*X25000Y5000D03*' \
  'D12*X5000Y15000D03*X15000Y15000D03*' 'M02*' > "$work/pads1.gbr"
"$cli" job new --force "$work/pads.wpr" "${j[@]}" > /dev/null
"$cli" job add "$work/pads.wpr" "$work/pads1.gbr" --layer 1 --at 0.3,0.3 "${j[@]}" > /dev/null
for layer in $(seq 2 18); do
  cp "$work/pads1.gbr" "$work/pads$layer.gbr"
  "$cli" job layer "$work/pads.wpr" --board 1 --layer "$layer" "$work/pads$layer.gbr" "${j[@]}" > /dev/null
done
"$cli" job panelize "$work/pads.wpr" --board 1 --repeat 1,0 "${j[@]}" > /dev/null
echo "At 65024 dpi, pads 2 boards x 18 layers: $(peakOf "$work/pads.wpr") (budget $memory MB, limit $((memory + 64)) MB)"

# The stamp cache: 200 thermal macros of distinct sizes (0.040 to 0.239
# inch), each flashed three times in a 30 x 20 grid, at 32512 dpi with a
# small memory and the usual one: more memory must never be slower.
awk 'BEGIN {
  print "%FSLAX24Y24*%"; print "%MOIN*%"
  for (i = 0; i < 200; i++) {
    d = 0.040 + 0.001 * i
    printf "%%AMTH%d*7,0,0,%.4f,%.4f,%.4f,45*%%\n%%ADD%dTH%d*%%\n", i, d, 0.7 * d, 0.2 * d, 10 + i, i
  }
  for (k = 0; k < 600; k++) printf "D%d*X%dY%dD03*\n", 10 + k % 200, 1500 + 2600 * (k % 30), 1500 + 2600 * int(k / 30)
  print "M02*"
}' > "$work/thermals.gbr"
"$cli" job new --force "$work/thermals.wpr" "${j[@]}" > /dev/null
"$cli" job add "$work/thermals.wpr" "$work/thermals.gbr" --layer 1 --at 0.3,0.3 "${j[@]}" > /dev/null
read -r small usual < <(pair "$work/thermals.wpr --dpi 32512 --memory 10" "$work/thermals.wpr --dpi 32512")
echo "Stamp cache at 32512 dpi, 200 thermals x 3: --memory 10 $small s, --memory $memory $usual s: $(ratio "$usual" "$small")x the small memory's time"

# Decoding a film of gigapixels: the panel at 6096 dpi (about 8 gigapixels)
# decoded whole into a TIFF (Group 4 strips), reduced 64 times into a PNG
# and one square inch of it by window, each with its time and peak memory.
dpi=6096
"$cli" export "$panel" -o "$work/big.fpf" --dpi $dpi "${j[@]}" > /dev/null 2>> "$said"
pixels=$("$cli" fpf info "$work/big.fpf" | sed -n 's/.*"width":\([0-9]*\),"height":\([0-9]*\),.*/\1 \2/p' |
  awk '{ printf "%d x %d pixels, %.1f gigapixels", $1, $2, $1 * $2 / 1e9 }')
[[ -x /usr/bin/time ]] || { echo "no /usr/bin/time (apt-get install time): the decoding is not measured"; exit 0; }
decode() {
  local out
  out=$( { /usr/bin/time -f "%e s, peak %M KB" "$cli" fpf decode "$work/big.fpf" "${j[@]}" "$@" > /dev/null; } 2>&1 | tail -1)
  awk '{ printf "%s s, peak %.0f MB", $1, $4 / 1024 }' <<< "$out"
}
echo "Decoding the $dpi-dpi film ($pixels, $(du -m "$work/big.fpf" | cut -f1) MB):"
echo "  whole into TIFF: $(decode -o "$work/big.tif") (budget $memory MB, limit $((memory + 64)) MB)"
rm -f "$work/big.tif"
echo "  reduced 64 times into PNG: $(decode -o "$work/small.png" --reduce 64)"
echo "  one square inch by --window: $(decode -o "$work/window.tif" --window 5,5,6,6)"
