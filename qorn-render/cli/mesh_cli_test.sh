#!/usr/bin/env bash
# Mesh files through qorn-render: every bad mesh (non-finite or huge coordinates, a
# FIFO, a device, a folder, an unknown extension) gets one line naming the file (and
# line) and a non-zero status, within seconds and without a crash; materials are never
# opened; one mesh written as OBJ, PLY and STL renders the same picture.
# Usage: mesh_cli_test.sh QORN_RENDER QORN_SO
set -uo pipefail
render=$1 qorn=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0 passed=0
source "$(dirname "$0")/cli_checks.sh"

tri='v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n'
printf "$tri"'v nan 0 0\n' > "$work/nan.obj"
printf 'v 0 0 0\nv inf 0 0\nv 0 1 0\nf 1 2 3\n' > "$work/inf.obj"
printf 'v 0 0 0\nv 1 0 0\nv 0 1 -inf\nf 1 2 3\n' > "$work/minus_inf.obj"
printf 'v 0 0 0\nv 1 zero 0\n' > "$work/word.obj"
printf "$tri"'v 1.5e18 0 0\nv 1.5e18 1 0\nf 4 5 1\n' > "$work/huge.obj"
printf 'v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2\n' > "$work/two_corners.obj"
printf "$tri" > "$work/mesh.off"
printf 'ply\nformat binary_little_endian 1.0\nelement vertex 2000000000\nproperty float x\nproperty float y\nproperty float z\nend_header\n' > "$work/liar.ply"
printf 'solid s\nfacet normal 0 0 1\nouter loop\nvertex 0 0 nan\n' > "$work/nan.stl"
mkfifo "$work/fifo.obj" "$work/fifo.mtl"
ln -s "$work/fifo.obj" "$work/link_to_fifo.obj"
mknod "$work/zero.obj" c 1 5
mknod "$work/zero.mtl" c 1 5
mkdir "$work/folder.obj"

out="$work/out.png"
base=(render -W 24 -H 16 -s 1 -q --plugin "$qorn" -o "$out")

# name | expected text in the message | mesh file
cases=(
  "NaN coordinate|nan.obj:5: vertex coordinate 'nan' is not a finite number|$work/nan.obj"
  "infinite coordinate|inf.obj:2: vertex coordinate 'inf' is not a finite number|$work/inf.obj"
  "minus infinity|minus_inf.obj:3: vertex coordinate '-inf'|$work/minus_inf.obj"
  "a word for a number|word.obj:2: 'zero' is not a number|$work/word.obj"
  "beyond the intersector's range|huge.obj:5: vertex coordinate 1.5e+18 is beyond|$work/huge.obj"
  "face of two corners|two_corners.obj:4: a face needs three corners|$work/two_corners.obj"
  "unknown extension|mesh.off: unknown extension .off; mesh files are .obj, .ply or .stl|$work/mesh.off"
  "PLY header beyond the file|liar.ply: the header promises 2000000000 vertex items|$work/liar.ply"
  "STL NaN|nan.stl:4: vertex coordinate 'nan'|$work/nan.stl"
  "FIFO|fifo.obj: is a FIFO, not a mesh file|$work/fifo.obj"
  "link to a FIFO|link_to_fifo.obj: is a FIFO|$work/link_to_fifo.obj"
  "character device|zero.obj: is a character device|$work/zero.obj"
  "folder|folder.obj: is a folder|$work/folder.obj"
)

for c in "${cases[@]}"; do
  IFS='|' read -r name expected mesh <<< "$c"
  rm -f "$out"
  timeout 30 "$render" "${base[@]}" --obj "$mesh" > "$work/stdout" 2> "$work/stderr"
  problem=$(refusal_problem $? "$work/stderr" "$expected")
  if [ -z "$problem" ] && [ -e "$out" ]; then problem="wrote $out"; fi
  tally "$name" "$problem" "$work/stderr"
done

render_ok() {
  local name=$1 mesh=$2 png=$3
  shift 3
  timeout 30 "$render" render -W 48 -H 32 -s 2 -q --plugin "$qorn" --obj "$mesh" -o "$png" "$@" \
    > "$work/stdout" 2> "$work/stderr"
  local status=$?
  tally "$name" "$([ $status -eq 0 ] || echo "exit status $status")" "$work/stderr"
}

# Materials are never opened, whatever they are: these would block or never end.
printf "mtllib fifo.mtl\nmtllib $work/zero.mtl\nmtllib zero.mtl\nusemtl x\n$tri" > "$work/materials.obj"
render_ok "material libraries that are a FIFO and a device" "$work/materials.obj" "$work/materials.png"
ln -s "$work/materials.obj" "$work/link.obj"
render_ok "a link to a mesh file" "$work/link.obj" "$work/link.png"

# Polygons of 3 to 1000 corners (a byte held the count once: 256 wrapped to 0).
for n in 3 4 255 256 1000; do
  awk -v n="$n" 'BEGIN { for (k = 0; k < n; k++) printf "v %.6f %.6f 0\n", cos(6.2831853 * k / n), sin(6.2831853 * k / n);
                         printf "f"; for (k = 1; k <= n; k++) printf " %d", k; printf "\n" }' > "$work/polygon$n.obj"
  render_ok "a face of $n corners" "$work/polygon$n.obj" "$work/polygon$n.png"
done

# One mesh, a quad and a triangle, as OBJ, PLY and STL: the same picture, drawn with one
# edge per triangle so that any change in triangle or corner order shows.
cat > "$work/same.obj" <<'EOF'
v 0 0 0
v 2 0 0
v 2 1 0.5
v 0 1 0
v 1 2 0
f 1 2 3 4
f 4 3 5
EOF
cat > "$work/same.ply" <<'EOF'
ply
format ascii 1.0
element vertex 5
property float x
property float y
property float z
element face 2
property list uchar int vertex_indices
end_header
0 0 0
2 0 0
2 1 0.5
0 1 0
1 2 0
4 0 1 2 3
3 3 2 4
EOF
cat > "$work/same.stl" <<'EOF'
solid same
  facet normal 0 0 1
    outer loop
      vertex 0 0 0
      vertex 2 0 0
      vertex 2 1 0.5
      vertex 0 1 0
    endloop
  endfacet
  facet normal 0 0 1
    outer loop
      vertex 0 1 0
      vertex 2 1 0.5
      vertex 1 2 0
    endloop
  endfacet
endsolid same
EOF
for f in obj ply stl; do
  render_ok "the same mesh as $f" "$work/same.$f" "$work/same-$f.png" \
    --set single_edge=true --set even_edge=1 --set odd_edge=2
done
for f in ply stl; do
  if cmp -s "$work/same-obj.png" "$work/same-$f.png"; then passed=$((passed + 1))
  else echo "FAIL: the $f picture differs from the OBJ one"; failed=$((failed + 1)); fi
done

# Without -q and away from a terminal: no progress bar, one summary line with each phase.
"$render" render -W 32 -H 24 -s 1 --plugin "$qorn" --obj "$work/same.ply" -o "$work/summary.png" 2> "$work/stderr"
if [ "$(wc -l < "$work/stderr")" -eq 1 ] &&
   grep -qE 'load [0-9.]+ s, build [0-9.]+ s, render [0-9.]+ s, peak memory [0-9]+ MiB$' "$work/stderr"; then
  passed=$((passed + 1))
else
  echo "FAIL: the summary line"; sed 's/^/    /' "$work/stderr" | head -5; failed=$((failed + 1))
fi

echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
