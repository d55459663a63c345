#!/usr/bin/env bash
# The Debian package as `make package` builds it, made afresh into a folder of
# its own for the checks that read it, so the build tree is left as it was.
#   make-deb.sh BUILD_DIR DEB_DIR
set -euo pipefail
build=$1 out=$2

rm -rf "$out"
mkdir -p "$out"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$out/cpack.log" 2>&1 \
  || { cat "$out/cpack.log" >&2; echo "FAIL: cpack" >&2; exit 1; }
ls "$out"/*.deb
