#!/usr/bin/env bash
# `make run` on a tree that is already built starts the game at once, with
# nothing on the terminal: no directory changes, no up-to-date targets.
# usage: check-quiet-build.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
said=$(cd "$1" && make build BUILD_DIR="$2" 2>&1)
if [ -n "$said" ]; then
  echo "make build on a built tree printed $(wc -l <<<"$said") lines, first:"
  head -5 <<<"$said"
  exit 1
fi
echo "make build on a built tree: silent"
