#!/usr/bin/env bash
# The installed layout, used as a third party would: `cmake --install` into a fresh
# prefix, the example shader library built from that prefix alone with
# find_package(qorn), and qorn-render rendering with the installed qorn.so (whose
# declaration it finds in include/) and the freshly built qorn_cells.so.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR QORN_RENDER [CXX_FLAGS]
set -euo pipefail
build=$1 source=$2 render=$3 flags=${4:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" > /dev/null
for f in lib/qorn.so include/qorn.mi include/mrWorley.h include/mrmax.h include/mi_interface.h \
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

"$render" render -W 16 -H 12 -s 1 --plugin "$prefix/lib/qorn.so" \
  --connect "fill_color=$work/cells/qorn_cells.so" -o "$work/x.png" 2> "$work/stderr" ||
  { cat "$work/stderr"; echo "FAIL: cannot render with the installed plug-ins"; exit 1; }
grep -q ', [1-9][0-9]* connected' "$work/stderr" || { cat "$work/stderr"; echo "FAIL: the cell shader never ran"; exit 1; }
echo "1 passed, 0 failed"
