#!/usr/bin/env bash
# Builds everything (both ABIs) and renders the demo pictures into out/: the
# wireframe shader in qorn.so, loaded and called as the renderer does, and slices of
# its cellular noise. Every picture's command is printed before it runs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh x86_64
scripts/build.sh i386
echo "== qorn.so, x86_64: the noise table"
build/x86_64/demo/qorn_noise_table build/x86_64/lib/qorn.so
# Under qemu-user where this kernel cannot run 32-bit programs.
i386_runner=$(scripts/i386_runner.sh)
echo "== qorn.so, i386: the noise table${i386_runner:+ (under ${i386_runner##* })}"
$i386_runner build/i386/demo/qorn_noise_table build/i386/lib/qorn.so

mkdir -p out
run() {
  echo "+ $*"
  "$@"
}
render=build/x86_64/qorn-render/qorn-render
cells=build/x86_64/lib/qorn_cells.so
echo "== pictures in out/"
run $render render -W 640 -H 360 -o out/wireframe.png
run $render render -W 640 -H 360 --set single_edge=true --set even_edge=1 --set odd_edge=3 -o out/single-edge.png
run $render render -W 640 -H 360 --shade flat --set fill_color=0.25,0.55,0.95,0.3 --set wire_color=1,1,1 \
  --background 0.02,0.02,0.05 -o out/transparent.png
run $render render -W 640 -H 360 --connect fill_color=$cells --set fill_color.scale=2.5 -o out/cells.png
run $render render -W 640 -H 360 --space o --connect fill_color=$cells --set fill_color.metric=2 \
  --set fill_color.scale=2.5 --set wire_width=0.01 -o out/cells-chebyshev.png
run $render render -W 640 -H 360 --connect wire_width=$cells --set wire_width.gain=0.04 --set wire_width.scale=1.5 \
  -o out/varying-width.png
# Generated meshes, made here rather than committed.
run python3 scripts/make_dense_mesh.py out/torus-1.6m.ply --triangles 1600000
run $render render --obj out/torus-1.6m.ply -o out/dense.png
run python3 scripts/make_dense_mesh.py out/torus-40k.obj --triangles 40000
run $render render --obj out/torus-40k.obj --shade headlight -o out/torus.png
run python3 scripts/make_dense_mesh.py out/torus-3k.obj --triangles 3000
run $render render --obj out/torus-3k.obj --elevation 35 --turntable 6 -W 200 -H 150 -o out/turntable.png
run $render noise --size 128 --scale 0.05 --out-dir out --sheet out/noise.png
