#!/usr/bin/env bash
# qorn-render from the command line: bad input of every kind gets exactly one line on
# standard error and a non-zero exit status (never a crash) and writes no file; good
# input writes the pictures.
# Usage: cli_test.sh QORN_RENDER QORN_SO QORN_CELLS_SO
set -uo pipefail
render=$1 qorn=$2 cells=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0 passed=0

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

for c in "${cases[@]}"; do
  IFS='|' read -r name expected args <<< "$c"
  rm -f "$out"
  # shellcheck disable=SC2086
  "$render" $args > "$work/stdout" 2> "$work/stderr"
  status=$?
  lines=$(wc -l < "$work/stderr")
  problem=""
  if [ $status -eq 0 ]; then problem="exit status 0"
  elif [ $status -ge 128 ]; then problem="crashed (status $status)"
  elif [ "$lines" -ne 1 ]; then problem="$lines lines on standard error"
  elif ! grep -qF -- "$expected" "$work/stderr"; then problem="message lacks '$expected'"
  elif [ -e "$out" ]; then problem="wrote $out"
  elif ls "$work" | grep -q '\.png\.'; then problem="left a temporary file"
  fi
  if [ -n "$problem" ]; then
    echo "FAIL: $name: $problem"
    sed 's/^/    /' "$work/stderr" | head -5
    failed=$((failed + 1))
  else
    passed=$((passed + 1))
  fi
done

# Good input: an OBJ quad, the default scene with a connection, the noise pictures.
check_ok() {
  local name=$1
  shift
  if "$render" "$@" > "$work/stdout" 2> "$work/stderr"; then
    passed=$((passed + 1))
  else
    echo "FAIL: $name: exit status $?"
    sed 's/^/    /' "$work/stderr" | head -5
    failed=$((failed + 1))
  fi
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

echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
