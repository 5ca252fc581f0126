#!/usr/bin/env bash
# qorn-render from the command line: bad input of every kind gets exactly one line on
# standard error and a non-zero exit status (never a crash) and writes no file; good
# input writes the pictures.
# Usage: cli_test.sh QORN_RENDER QORN_SO QORN_CELLS_SO
set -uo pipefail
render=$(realpath "$1") qorn=$(realpath "$2") cells=$(realpath "$3")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0 passed=0
source "$(dirname "$0")/cli_checks.sh"

# Fixtures: broken OBJ files, plug-ins with a wrong declaration or no entry point.
printf 'v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 9\n' > "$work/bad_index.obj"
printf 'v 0 0 0\nv 1 0 0\nv 0 1 0\n' > "$work/no_faces.obj"
printf 'v 0 0 0\nv 1 0 0\nl 1 2\n' > "$work/only_lines.obj"
head -c 3000 "$qorn" > "$work/binary.obj"
printf 'v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3 4\n' > "$work/quad.obj"
echo "not a shared object" > "$work/text.so"
cp "$work/text.so" "$work/text.mi"
mkdir -p "$work/old" "$work/missing" "$work/nodecl"
cp "$qorn" "$work/old/qorn.so"
sed 's/version 4/version 3/' "$(dirname "$qorn")/qorn.mi" > "$work/old/qorn.mi"
cp "$qorn" "$work/missing/qorn.so"
sed 's/"qorn_wireframetexture"/"qorn_wireframe"/' "$(dirname "$qorn")/qorn.mi" > "$work/missing/qorn.mi"
cp "$qorn" "$work/nodecl/qorn.so"
mkdir -p "$work/garbled"
cp "$qorn" "$work/garbled/qorn.so"
printf 'declare shader\n  color "qorn_wireframetexture" (\n    colour "wire_color")\nend declare\n' > "$work/garbled/qorn.mi"

# Declarations that are not what the library is: versions and defaults that are no
# whole number, a FIFO, a record shorter than the shader's.
mi="$(dirname "$qorn")/qorn.mi"
for bad in "version 4.9" "version 1e30" "version nan" "version -1"; do
  d="$work/decl-${bad// /-}"
  mkdir -p "$d" && ln -s "$qorn" "$d/qorn.so"
  sed "s/version 4/$bad/" "$mi" > "$d/qorn.mi"
done
mkdir -p "$work/intdefault" "$work/fifodecl" "$work/short"
ln -s "$qorn" "$work/intdefault/qorn.so"
sed 's/integer "even_edge"/integer "even_edge" default 1e30/' "$mi" > "$work/intdefault/qorn.mi"
ln -s "$qorn" "$work/fifodecl/qorn.so"
mkfifo "$work/fifodecl/qorn.mi"
ln -s "$qorn" "$work/short/qorn.so"
printf 'declare shader\n  color "qorn_wireframetexture" (color "wire_color")\n  version 4\nend declare\n' > "$work/short/qorn.mi"

# Outputs that are not plain files, made here: a FIFO, a null device, a socket, links.
mkfifo "$work/fifo" "$work/fifo.so"
mknod "$work/null" c 1 3
python3 -c "import socket, sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])" "$work/socket.png"
ln -s quad.obj "$work/mesh-link.png"
ln -s plug/qorn.so "$work/plug-link.png"
mkdir -p "$work/plug"
cp "$qorn" "$work/plug/qorn.so"
cp "$mi" "$work/plug/qorn.mi"

out="$work/out.png"
base=(render -W 24 -H 16 -s 1 -q --plugin "$qorn" -o "$out")

# name | expected text in the message | arguments
cases=(
  "missing OBJ|/nonexistent/scene.obj|${base[*]} --obj /nonexistent/scene.obj"
  "OBJ index out of range|bad_index.obj|${base[*]} --obj $work/bad_index.obj"
  "OBJ without faces|no_faces.obj: no triangles|${base[*]} --obj $work/no_faces.obj"
  "OBJ with lines only|only_lines.obj: no triangles|${base[*]} --obj $work/only_lines.obj"
  "binary OBJ|binary.obj|${base[*]} --obj $work/binary.obj"
  "plug-in that does not exist|cannot open the plug-in|${base[*]} --plugin $work/none.so"
  "plug-in that is not a shared object|is not a loadable plug-in|${base[*]} --plugin $work/text.so"
  "plug-in that is a program|is not a loadable plug-in|${base[*]} --plugin /bin/sh"
  "plug-in without a declaration|no shader declaration|${base[*]} --plugin $work/nodecl/qorn.so"
  "garbled declaration|unknown type 'colour'|${base[*]} --plugin $work/garbled/qorn.so"
  "missing entry point|has no entry point qorn_wireframe|${base[*]} --plugin $work/missing/qorn.so"
  "version mismatch|is version 4 but|${base[*]} --plugin $work/old/qorn.so"
  "unknown shader|declares no shader nope|${base[*]} --shader nope"
  "unknown parameter|has no parameter wire_colour|${base[*]} --set wire_colour=1,0,0"
  "colour of the wrong type|is a color|${base[*]} --set wire_color=red"
  "scalar of the wrong type|is a scalar|${base[*]} --set wire_width=thin"
  "integer of the wrong type|is an integer|${base[*]} --set even_edge=1.5"
  "boolean of the wrong type|is a boolean|${base[*]} --set single_edge=maybe"
  "set without a value|wants NAME=VALUE|${base[*]} --set wire_width"
  "unconnected sub-parameter|is not connected|${base[*]} --set fill_color.scale=2"
  "connection to a non-plug-in|is not a loadable plug-in|${base[*]} --connect fill_color=$work/text.so"
  "connected unknown parameter|has no parameter colour_a|${base[*]} --connect fill_color=$cells --set fill_color.colour_a=1,0,0"
  "connection of the wrong type|cannot connect wire_width (a scalar)|${base[*]} --connect wire_width=$cells:qorn_cells"
  "no shader of the type|cannot connect even_edge (an integer)|${base[*]} --connect even_edge=$cells"
  "connection to an unknown shader|declares no shader qorn_none|${base[*]} --connect fill_color=$cells:qorn_none"
  "output folder missing|cannot write $work/nowhere/x.png|render -W 8 -H 8 -q --plugin $qorn -o $work/nowhere/x.png"
  "output is a folder|cannot write $work: it is a folder|render -W 8 -H 8 -q --plugin $qorn --format png -o $work"
  "output of no known format|cannot tell the picture format of $work/out.jpg|render -W 8 -H 8 -q --plugin $qorn -o $work/out.jpg"
  "output without extension|cannot tell the picture format of $work/fifo|render -W 8 -H 8 -q --plugin $qorn -o $work/fifo"
  "output format unknown|--format|render -W 8 -H 8 -q --plugin $qorn --format jpg -o $out"
  "output is a socket|not a regular file, FIFO or character device|render -W 8 -H 8 -q --plugin $qorn -o $work/socket.png"
  "output is the mesh|it is the mesh|${base[*]} --obj $work/quad.obj --format png -o $work/quad.obj"
  "output links to the mesh|it is the mesh|${base[*]} --obj $work/quad.obj -o $work/mesh-link.png"
  "output is the plug-in|it is the plug-in|render -W 8 -H 8 -q --plugin $work/plug/qorn.so --format png -o $work/plug/qorn.so"
  "output is the declaration|it is the shader declaration|render -W 8 -H 8 -q --plugin $work/plug/qorn.so --format png -o $work/plug/qorn.mi"
  "output is a connected plug-in|it is the plug-in|${base[*]} --connect fill_color=$work/plug/qorn.so --format png -o $work/plug/qorn.so"
  "noise sheet links to the plug-in|it is the plug-in|noise --plugin $work/plug/qorn.so --size 4 --sheet $work/plug-link.png"
  "noise sheet of no known format|cannot tell the picture format|noise --plugin $qorn --size 4 --sheet $work/sheet.gif"
  "fov not a number|--fov|${base[*]} --fov nan"
  "fov infinite|--fov|${base[*]} --fov inf"
  "fov too narrow|--fov|${base[*]} --fov 0.5"
  "eye not a number|--eye wants three numbers|${base[*]} --eye nan,0,0"
  "eye infinite|--eye wants three numbers|${base[*]} --eye 0,-inf,0"
  "eye beyond the intersector|--eye wants three numbers x,y,z of magnitude at most 1e+12|${base[*]} --eye 1e19,0,0"
  "target beyond the intersector|--look-at wants three numbers|${base[*]} --look-at 0,0,1e13"
  "eye on the default target|are the same point|${base[*]} --look-at 0,0,0 --eye 0,0,0"
  "background not a number|--background wants 3 finite|${base[*]} --background nan,0,0"
  "background beyond float|--background wants 3 finite|${base[*]} --background 1e39,0,0"
  "background of two numbers|--background wants 3 finite|${base[*]} --background 1,2"
  "scalar not a number|parameter wire_width|${base[*]} --set wire_width=nan"
  "scalar infinite|parameter wire_width|${base[*]} --set wire_width=-inf"
  "scalar beyond float|parameter wire_width|${base[*]} --set wire_width=1e39"
  "colour not a number|parameter wire_color|${base[*]} --set wire_color=nan,0,0"
  "colour beyond float|parameter fill_color|${base[*]} --set fill_color=0,0,0,1e40"
  "integer with a fraction|parameter even_edge|${base[*]} --set even_edge=4.9"
  "integer in exponent form|parameter even_edge|${base[*]} --set even_edge=1e30"
  "integer beyond 32 bits|parameter odd_edge|${base[*]} --set odd_edge=2147483648"
  "integer not a number|parameter odd_edge|${base[*]} --set odd_edge=nan"
  "connected scalar not a number|parameter scale|${base[*]} --connect fill_color=$cells:qorn_cells --set fill_color.scale=nan"
  "noise scale not a number|--scale|noise --plugin $qorn --size 4 --scale nan --sheet $out"
  "noise scale beyond float|--scale|noise --plugin $qorn --size 4 --scale 1e300 --sheet $out"
  "noise scale zero|--scale|noise --plugin $qorn --size 4 --scale 0 --sheet $out"
  "noise z beyond float|--z|noise --plugin $qorn --size 4 --z 1e300 --sheet $out"
  "noise z not a number|--z|noise --plugin $qorn --size 4 --z nan --sheet $out"
  "version with a fraction|expected a version (a whole number|${base[*]} --plugin $work/decl-version-4.9/qorn.so"
  "version beyond 32 bits|expected a version (a whole number|${base[*]} --plugin $work/decl-version-1e30/qorn.so"
  "version not a number|expected a version (a whole number|${base[*]} --plugin $work/decl-version-nan/qorn.so"
  "negative version|expected a version (a whole number|${base[*]} --plugin $work/decl-version--1/qorn.so"
  "integer default beyond 32 bits|expected a whole number|${base[*]} --plugin $work/intdefault/qorn.so"
  "declaration is a FIFO|is not a regular file|${base[*]} --plugin $work/fifodecl/qorn.so"
  "plug-in is a FIFO|the plug-in $work/fifo.so is not a regular file|${base[*]} --plugin $work/fifo.so"
  "plug-in is a device|the plug-in $work/null is not a regular file|${base[*]} --plugin $work/null"
  "noise plug-in is a FIFO|is not a regular file|noise --plugin $work/fifo.so --sheet $out"
  "info of a non-plug-in|is not a loadable plug-in|info $work/text.so"
  "config file missing|$work/none.toml|--config $work/none.toml render"
  "config with an unknown key|frobnicate|--config $work/unknown.toml render"
  "bad size|--width|${base[*]} -W 0"
  "bad space|--space|${base[*]} --space x"
  "bad vector|--eye wants three numbers|${base[*]} --eye 1,2"
  "eye on the target|are the same point|${base[*]} --eye 1,1,1 --look-at 1,1,1"
  "field of view too wide|--fov|${base[*]} --fov 200"
  "unknown option|--frobnicate|${base[*]} --frobnicate"
  "no subcommand|subcommand|"
  "noise from a non-plug-in|is not a loadable plug-in|noise --plugin $work/text.so --sheet $out"
  "noise without output|give --out-dir, --sheet|noise --plugin $qorn"
)

printf '[render]\nfrobnicate = 1\n' > "$work/unknown.toml"

# Every name in the folder with its kind, and every regular file's checksum: a refused
# run must leave all of it as it was (nothing written, replaced or left behind).
snapshot() {
  (cd "$work" && find . ! -name stdout ! -name stderr -printf '%p %y %l\n' | sort &&
    find . -type f ! -name stdout ! -name stderr -exec md5sum {} + | sort)
}

for c in "${cases[@]}"; do
  IFS='|' read -r name expected args <<< "$c"
  rm -f "$out"
  before=$(snapshot)
  # shellcheck disable=SC2086
  timeout 20 "$render" $args > "$work/stdout" 2> "$work/stderr" < /dev/null
  problem=$(refusal_problem $? "$work/stderr" "$expected")
  if [ -z "$problem" ] && [ "$(snapshot)" != "$before" ]; then
    problem="changed the folder: $(diff <(echo "$before") <(snapshot) | head -3 | tr '\n' ' ')"
  fi
  tally "$name" "$problem" "$work/stderr"
done

# Good input: an OBJ quad, the default scene with a connection, the noise pictures.
check_ok() {
  local name=$1
  shift
  "$render" "$@" > "$work/stdout" 2> "$work/stderr"
  local status=$?
  tally "$name" "$([ $status -eq 0 ] || echo "exit status $status")" "$work/stderr"
}
check_ok "OBJ quad" render -W 32 -H 24 -s 2 --plugin "$qorn" --obj "$work/quad.obj" -o "$work/quad.png"
check_ok "connected cells" render -W 32 -H 24 --plugin "$qorn" --connect "fill_color=$cells:qorn_cells" \
  --set fill_color.metric=2 --set fill_color.scale=3 -o "$work/cells.png"
if ! grep -q "connected" "$work/stderr"; then echo "FAIL: no summary line"; failed=$((failed + 1)); fi
check_ok "straight down" render -W 16 -H 16 -s 1 --plugin "$qorn" --eye 0,9,0 --look-at 0,0,0 --fov 60 -o "$work/down.png"
check_ok "noise slices" noise --plugin "$qorn" --size 16 --out-dir "$work" --sheet "$work/sheet.png"
count=$(ls "$work"/noise-*.png 2>/dev/null | wc -l)
if [ "$count" -ne 12 ]; then echo "FAIL: $count noise slices instead of 12"; failed=$((failed + 1)); fi
for f in quad.png cells.png sheet.png; do
  [ -s "$work/$f" ] || { echo "FAIL: $f missing"; failed=$((failed + 1)); }
done

fail() { echo "FAIL: $*"; failed=$((failed + 1)); }
same() {  # same NAME FILE REFERENCE: the picture is byte for byte the reference
  if cmp -s "$2" "$3"; then passed=$((passed + 1)); else fail "$1: $2 differs from $3"; fi
}
small=(render -W 24 -H 16 -s 1 -q --plugin "$qorn")
"$render" "${small[@]}" -o "$work/ref.png" || fail "reference render"

# Valid numbers at the edges of their ranges give the pictures they should.
check_ok "subnormal wire width" "${small[@]}" --set wire_width=1e-40 -o "$work/subnormal.png"
check_ok "zero wire width" "${small[@]}" --set wire_width=0 -o "$work/zero.png"
same "a subnormal width squares to 0" "$work/subnormal.png" "$work/zero.png"
check_ok "explicit defaults" "${small[@]}" --fov 40 --set even_edge=0 -o "$work/explicit.png"
same "explicit defaults" "$work/explicit.png" "$work/ref.png"
check_ok "eye at the coordinate limit" "${small[@]}" --eye 0,0,1e12 --look-at 0,0,0 -o "$work/far.png"

# Outputs: a link's target is written and the link stays; FIFOs and devices are
# written through and stay what they are; a regular file is replaced whole.
printf 'old' > "$work/target.png"
ln -s target.png "$work/link.png"
ln -s "$work/created.png" "$work/dangling.png"
check_ok "output through a link" "${small[@]}" -o "$work/link.png"
[ -L "$work/link.png" ] || fail "the link was replaced"
same "output through a link" "$work/target.png" "$work/ref.png"
check_ok "output through a dangling link" "${small[@]}" -o "$work/dangling.png"
[ -L "$work/dangling.png" ] || fail "the dangling link was replaced"
same "output through a dangling link" "$work/created.png" "$work/ref.png"
cat "$work/fifo" > "$work/from-fifo.png" &
reader=$!
check_ok "output to a FIFO" "${small[@]}" --format png -o "$work/fifo"
wait $reader
[ -p "$work/fifo" ] || fail "the FIFO was replaced"
same "output to a FIFO" "$work/from-fifo.png" "$work/ref.png"
check_ok "output to a character device" "${small[@]}" --format png -o "$work/null"
[ -c "$work/null" ] || fail "the device node was replaced"
# What /dev/stdout is: a link to the process's own standard output, made here.
ln -s /proc/self/fd/1 "$work/stdout-link"
"$render" "${small[@]}" --format png -o "$work/stdout-link" 2> "$work/stderr" | cat > "$work/piped.png"
same "output to standard output, a pipe" "$work/piped.png" "$work/ref.png"
"$render" "${small[@]}" --format png -o "$work/stdout-link" > "$work/redirected.png" 2> "$work/stderr"
same "output to standard output, a file" "$work/redirected.png" "$work/ref.png"
[ -L "$work/stdout-link" ] || fail "the standard output link was replaced"
printf 'junk' > "$work/existing.png"
chmod 600 "$work/existing.png"
check_ok "output over a regular file" "${small[@]}" -o "$work/existing.png"
same "output over a regular file" "$work/existing.png" "$work/ref.png"
[ "$(stat -c %a "$work/existing.png")" = 600 ] || fail "the replaced file lost its mode"
ls "$work" | grep -q '\.png\.' && fail "a temporary file was left"

# Picture formats: sRGB PNG with its chunk, RGBA with --alpha, EXR, data slices.
grep -q sRGB "$work/ref.png" || fail "no sRGB chunk in the PNG"
[ "$(od -An -tu1 -j25 -N1 "$work/ref.png" | tr -d ' ')" = 2 ] || fail "the PNG is not RGB"
check_ok "alpha" "${small[@]}" --alpha -o "$work/alpha.png"
[ "$(od -An -tu1 -j25 -N1 "$work/alpha.png" | tr -d ' ')" = 6 ] || fail "--alpha did not write RGBA"
check_ok "EXR" "${small[@]}" -o "$work/linear.exr"
check_ok "half EXR" "${small[@]}" --half --alpha -o "$work/half.EXR"
for f in linear.exr half.EXR; do
  [ "$(od -An -tx1 -N4 "$work/$f" | tr -d ' ')" = 762f3101 ] || fail "$f is not an OpenEXR file"
done
grep -q sRGB "$work/noise-euclidean-f1.png" && fail "a noise slice claims to be sRGB"

# Declarations: a short record is reported and harmless; the noise needs none.
check_ok "short declaration" "${small[@]}" --plugin "$work/short/qorn.so" -o "$work/short.png"
grep -q "warning: .*does not match the shader's record (48 bytes, 6 parameters)" "$work/stderr" ||
  fail "no warning for a declaration shorter than the record"
check_ok "noise without a declaration" noise --plugin "$work/nodecl/qorn.so" --size 8 --sheet "$work/nodecl.png"

# What it does: info and --help list the parameters; a config file reproduces a render.
check_ok "info" info "$qorn"
for want in "qorn_wireframetexture, version 4" "wire_width     scalar   connected to the host's qorn_host_pixel_width (pixels 0.75" "even_edge      integer  0"; do
  grep -qF "$want" "$work/stdout" || fail "info lacks '$want'"
done
"$render" render --help --plugin "$qorn" > "$work/help" 2>&1
grep -q "single_edge *boolean *false" "$work/help" || fail "render --help does not list the shader's parameters"
printf '[render]\nwidth = 30\nheight = 20\nsamples = 2\neye = "0,3,6"\nset = ["wire_width=0.05", "fill_color=0.2,0.4,0.6,1"]\nplugin = "%s"\noutput = "%s"\n' \
  "$qorn" "$work/config.png" > "$work/render.toml"
check_ok "config file" render --config "$work/render.toml" -q
check_ok "same flags" render -W 30 -H 20 -s 2 --eye 0,3,6 --set wire_width=0.05 --set fill_color=0.2,0.4,0.6,1 \
  --plugin "$qorn" -q -o "$work/flags.png"
same "a config file reproduces the render" "$work/config.png" "$work/flags.png"

# A signal ends the run with the signal's status and leaves nothing behind.
"$render" render -W 3000 -H 3000 -s 64 -j 1 -q --plugin "$qorn" -o "$work/signalled.png" &
victim=$!
sleep 1
kill -TERM $victim
wait $victim
status=$?
[ $status -eq 143 ] || fail "SIGTERM: status $status, not 143"
ls "$work" | grep -q 'signalled' && fail "SIGTERM left a file"

echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
