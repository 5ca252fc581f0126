#!/usr/bin/env bash
# The installed layout, used as a third party would: `cmake --install` into a fresh
# prefix, the example shader library built from that prefix alone with
# find_package(qorn), and the installed bin/qorn-render rendering with the installed
# qorn.so (which it finds in ../lib, its declaration in ../include) and the freshly
# built qorn_cells.so; then the README's client CMake file, copied out as it stands.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR [CXX_FLAGS]
set -euo pipefail
build=$1 source=$2 flags=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" > /dev/null
for f in bin/qorn-render lib/qorn.so include/qorn.mi include/mrWorley.h include/mrmax.h include/mi_interface.h \
         lib/cmake/qorn/qornConfig.cmake lib/cmake/qorn/qornConfigVersion.cmake; do
  [ -f "$prefix/$f" ] || { echo "FAIL: $f not installed"; exit 1; }
done

cmake -S "$source/examples/cellshader" -B "$work/cells" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_CXX_FLAGS="-Wall -Wextra -Werror $flags" > "$work/configure.log" 2>&1 ||
  { cat "$work/configure.log"; echo "FAIL: the example does not configure against the install"; exit 1; }
cmake --build "$work/cells" > "$work/build.log" 2>&1 ||
  { cat "$work/build.log"; echo "FAIL: the example does not build against the install"; exit 1; }
readelf -d "$work/cells/qorn_cells.so" | grep -q 'NEEDED.*\[qorn.so\]' ||
  { echo "FAIL: qorn_cells.so does not link qorn.so"; exit 1; }
[ -f "$work/cells/qorn_cells.mi" ] || { echo "FAIL: no qorn_cells.mi beside the example"; exit 1; }

render=$prefix/bin/qorn-render
# From another folder, with nothing of the build tree on any path.
(cd "$work" && env -u LD_LIBRARY_PATH "$render" render -W 16 -H 12 -s 1 \
  --connect "fill_color=$work/cells/qorn_cells.so" -o "$work/x.png" 2> "$work/stderr") ||
  { cat "$work/stderr"; echo "FAIL: cannot render with the installed plug-ins"; exit 1; }
grep -q ', [1-9][0-9]* connected' "$work/stderr" || { cat "$work/stderr"; echo "FAIL: the cell shader never ran"; exit 1; }
# The README's client CMake file and source, copied out of the README as they stand.
client=$work/client
mkdir -p "$client"
awk '/^```cmake$/ {on = 1; next} /^```$/ {on = 0} on' "$source/README.md" > "$client/CMakeLists.txt"
awk '/^```cpp$/ {on = 1; next} /^```$/ {on = 0} on' "$source/README.md" > "$client/my_shaders.cpp"
cp "$source/examples/cellshader/qorn_cells.mi" "$client/my_shaders.mi"
grep -q find_package "$client/CMakeLists.txt" || { echo "FAIL: no client CMake file in the README"; exit 1; }
cmake -S "$client" -B "$client/build" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_CXX_FLAGS="-Wall -Wextra -Werror $flags" > "$work/client.log" 2>&1 &&
  cmake --build "$client/build" >> "$work/client.log" 2>&1 ||
  { cat "$work/client.log"; echo "FAIL: the README's client does not build"; exit 1; }
[ -f "$client/build/my_shaders.so" ] || { ls "$client/build"; echo "FAIL: the README's client is not my_shaders.so"; exit 1; }
[ -f "$client/build/my_shaders.mi" ] || { echo "FAIL: no my_shaders.mi beside the README's client"; exit 1; }
echo "2 passed, 0 failed"
