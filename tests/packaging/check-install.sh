#!/usr/bin/env bash
# An install into a fresh prefix, checked as a desktop would see it: the files,
# the launcher and metainfo agreeing on one id, the manual page, and the game
# started from there shows its first window and finds its tune.
#   check-install.sh BUILD_DIR VERSION TUNE_PROBE
source "$(dirname "$0")/installed-files.sh"
build=$1 version=$2 probe=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A prefix with a space and Japanese in it: the game must not care where it is.
prefix="$work/遊び 場"
cmake --install "$build" --prefix "$prefix" >/dev/null

# The launcher names the id; everything else is named after it.
launcher=$(the_one "$prefix"/share/applications/*.desktop)
id=$(basename "$launcher" .desktop)
metainfo="$prefix/share/metainfo/$id.metainfo.xml"
executable="$prefix/games/kiramoku"
check_installed_files "$prefix" "$id"

desktop-file-validate "$launcher" || fail "desktop-file-validate"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"

field() { sed -n "s/^$1=//p" "$launcher"; }
[ "$(field Name)" = "きらもく" ] || fail "Name=$(field Name)"
[ "$(field Icon)" = "$id" ] || fail "Icon=$(field Icon), not the id $id"
# A plain name, found on the PATH as Debian's games are.
[ "$(field Exec)" = "kiramoku" ] || fail "Exec=$(field Exec)"
[ "$(field Categories)" = "Game;BoardGame;" ] || fail "Categories=$(field Categories)"
# (Read into variables first: grep -q stops early, which pipefail would count as failure.)
grep -qP '[\p{Hiragana}\p{Han}]' <<<"$(field Comment)" || fail "the comment is not in Japanese"

xml() { xmllint --xpath "$1" "$metainfo"; }
[ "$(xml 'string(/component/id)')" = "$id" ] || fail "metainfo id $(xml 'string(/component/id)')"
[ "$(xml 'string(/component/launchable[@type="desktop-id"])')" = "$id.desktop" ] || fail "launchable"
[ "$(xml 'string(/component/releases/release[1]/@version)')" = "$version" ] || fail "release is not $version"
[ "$(xml 'string(/component/content_rating/@type)')" = "oars-1.1" ] || fail "content rating"
[ "$(xml 'string(/component/languages/lang)')" = "ja" ] || fail "language"
[ "$(xml 'count(/component/screenshots/screenshot)')" -ge 1 ] || fail "no screenshot"
grep -qP '\p{Han}' <<<"$(xml 'string(/component/summary[@xml:lang="ja"])')" || fail "no Japanese summary"

# The icon is the window's own picture, a scalable SVG.
grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/$id.svg" || fail "the icon is not an SVG"

# The manual page: man reads it without complaint, and it names every
# option the game's --help lists and the keys the game is played with.
manual=$(MANWIDTH=80 man --warnings -E UTF-8 -l "$prefix/share/man/man6/kiramoku.6.gz" 2>"$work/man.log") \
  || fail "man could not read the manual page"
[ ! -s "$work/man.log" ] || fail "man complained: $(cat "$work/man.log")"
options=$("$executable" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u)
[ -n "$options" ] || fail "kiramoku --help lists no options"
for option in $options; do
  grep -qF -- "$option" <<<"$manual" || fail "the manual page does not name $option"
done
# The KEYS section's tags: the lines that start at the first indent.
keys=$(sed -n '/^KEYS/,/^[A-Z]/p' <<<"$manual" | grep -E '^ {7}[^ ]' || true)
for key in Tab Space Enter M Escape; do
  grep -qw -- "$key" <<<"$keys" || fail "the manual page's KEYS do not name $key"
done

# The tune lookup and the sequencer, from the folder the game is in.
cp "$probe" "$prefix/games/"
KIRAMOKU_INSTALL_PREFIX="$prefix" QT_QPA_PLATFORM=offscreen "$prefix/games/$(basename "$probe")" \
  || fail "the tune was not found or not opened from the prefix"
rm "$prefix/games/$(basename "$probe")"

# The installed game itself: it runs on for ten seconds (until timeout ends
# it), its selection window painted and put on the (offscreen) screen, which
# Qt's painting log reports, and says nothing else on the way.
# Its own folders: a game the player kept would open with a question instead.
export XDG_RUNTIME_DIR="$work/runtime" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
mkdir -m 700 "$XDG_RUNTIME_DIR"
log="$work/game.log"
status=0
QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES="qt.widgets.painting=true" timeout 10 "$executable" 2>"$log" || status=$?
[ "$status" -eq 124 ] || fail "the game ended early, status $status: $(cat "$log")"
grep -q 'Flushing .*name="Form2"' "$log" || fail "no window shown within 10 s"
complaints=$(grep -v '^qt.widgets.painting: ' "$log" || true)
[ -z "$complaints" ] || fail "the game complained: $complaints"
echo "installed $id $version into a fresh prefix; it validates, starts and finds its tune"
