# What the install and package checks share: the files an install puts
# under its prefix (the package's is /usr), the game where Debian keeps games.
set -euo pipefail
export LC_ALL=C.UTF-8  # grep -P reads Japanese only in a UTF-8 locale
fail() { echo "FAIL: $*" >&2; exit 1; }
# the_one FILE...: the one file a pattern names (used as `x=$(the_one ...)`).
the_one() { [ $# -eq 1 ] && [ -f "$1" ] || fail "expected one file, found: $*"; echo "$1"; }

# check_installed_files PREFIX ID: every file there and not empty, for the launcher id ID.
check_installed_files() {
  local prefix=$1 id=$2 f
  for f in games/kiramoku share/kiramoku/kira.mid "share/applications/$id.desktop" \
           "share/metainfo/$id.metainfo.xml" "share/icons/hicolor/scalable/apps/$id.svg" \
           share/man/man6/kiramoku.6.gz share/doc/kiramoku/copyright share/doc/kiramoku/changelog.gz; do
    [ -s "$prefix/$f" ] || fail "not installed: $f"
  done
  [ -x "$prefix/games/kiramoku" ] || fail "games/kiramoku is not executable"
  [ ! -e "$prefix/bin" ] || fail "a program in bin/, not games/"
}
