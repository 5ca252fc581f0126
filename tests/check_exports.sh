#!/bin/sh
# Checks the plug-in's dynamic interface: the defined dynamic symbols are exactly the
# expected list; the library needs only the C library (and its maths library), no C++
# runtime or libgcc_s, imports no allocator or thread functions, and runs nothing of its
# own at load or unload.
# Usage: check_exports.sh PLUGIN.so EXPECTED.txt [--sanitized]
set -eu
so=$1
expected=$2
sanitized=${3:-}
failed=0

defined=$(readelf --dyn-syms -W "$so" | awk 'NF >= 8 && $7 != "UND" && $7 != "Ndx" { print $8 }' | sed 's/@.*//' | LC_ALL=C sort -u)
if ! printf '%s\n' "$defined" | LC_ALL=C diff -u "$expected" - ; then
  echo "FAIL: defined dynamic symbols differ from $expected (- expected, + actual)"
  failed=1
fi

undefined=$(readelf --dyn-syms -W "$so" | awk 'NF >= 8 && $7 == "UND" { print $8 }' | sed 's/@.*//')
# (__cxa_finalize is the C library's own, called by start files in sanitizer builds.)
cxx=$(printf '%s\n' "$undefined" | grep -E "^(_Z|__cxa_|__gxx_|_Unwind_)" | grep -v "^__cxa_finalize$" || true)
if [ -n "$cxx" ]; then
  echo "FAIL: the plug-in imports C++ runtime symbols:"
  printf '  %s\n' $cxx
  failed=1
fi

# No allocation and no locking inside the library: it imports no allocator or thread
# functions.
alloc=$(printf '%s\n' "$undefined" | grep -E '^(malloc|calloc|realloc|free|aligned_alloc|posix_memalign|memalign|valloc|mmap|sbrk|brk|pthread_.*|_Znw.*|_Zna.*|_Zdl.*|_Zda.*)$' || true)
if [ -n "$alloc" ]; then
  echo "FAIL: the plug-in imports allocation or thread functions:"
  printf '  %s\n' $alloc
  failed=1
fi

if [ "$sanitized" != "--sanitized" ]; then
  needed=$(readelf -d -W "$so" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
  for lib in $needed; do
    case "$lib" in
      libc.so.6|libm.so.6) ;;
      *) echo "FAIL: the plug-in needs $lib"; failed=1 ;;
    esac
  done
  init=$(readelf -d -W "$so" | grep -E '\((INIT|FINI|INIT_ARRAY|FINI_ARRAY|PREINIT_ARRAY)\)' || true)
  if [ -n "$init" ]; then
    echo "FAIL: the plug-in has code that runs at load or unload:"
    echo "$init"
    failed=1
  fi
fi

if [ $failed -eq 0 ]; then
  echo "exports of $so: $(printf '%s\n' "$defined" | wc -l) symbols as expected; needs: $(readelf -d -W "$so" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | tr '\n' ' ')"
fi
exit $failed
