#!/usr/bin/env bash
# The Debian package as `make package` builds it (made by make-deb.sh), read
# back with dpkg-deb: its name, version, English synopsis with the game's
# Japanese name and Japanese description, the runtime packages it depends on
# (every one a real package of this system, none a development package), and
# the files it puts under /usr, the game itself where Debian keeps games.
#   check-deb.sh DEB_DIR VERSION
source "$(dirname "$0")/installed-files.sh"
dir=$1 version=$2

deb=$(the_one "$dir"/*.deb)
dpkg-deb -I "$deb"

info() { dpkg-deb -f "$deb" "$1"; }
[ "$(info Package)" = kiramoku ] || fail "Package: $(info Package)"
[ "$(info Version)" = "$version" ] || fail "Version: $(info Version), not $version"
[ "$(info Section)" = games ] || fail "Section: $(info Section)"
# (Read into variables first: grep -q stops early, which pipefail would count as failure.)
description=$(info Description)
synopsis=${description%%$'\n'*}
# Debian's tools count the synopsis's words by spaces: English words, and the name in kana.
[ "$(grep -oP '\b[A-Za-z]{2,}\b' <<<"$synopsis" | wc -l)" -ge 3 ] || fail "the synopsis is not in English: $synopsis"
grep -qF 'きらもく' <<<"$synopsis" || fail "the synopsis lacks the game's Japanese name: $synopsis"
grep -qF "バージョン $version、日本語" <<<"$description" || fail "the description does not give version and language"

# The package names in Depends, without versions or alternatives.
depends=$(info Depends | tr ',|' '\n\n' | sed 's/(.*)//; s/^ *//; s/ *$//' | grep . | sort -u)
for needed in libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6 libqt6network6 qt6-qpa-plugins \
              libfluidsynth3 timgm6mb-soundfont fonts-ipafont-gothic fonts-ipafont-mincho \
              libcanberra0 sound-theme-freedesktop qt6-translations-l10n; do
  grep -qx "$needed" <<<"$depends" || fail "Depends lacks $needed"
done
for name in $depends; do
  case $name in *-dev) fail "Depends names the development package $name" ;; esac
  # The build machine has every runtime package installed (scripts/install-deps).
  [ "$(dpkg-query -W -f='${Status}' "$name" 2>/dev/null)" = "install ok installed" ] \
    || fail "Depends names $name, which is not an installed Debian package here"
done
grep -qw fcitx5-frontend-qt6 <<<"$(info Recommends)" || fail "Recommends lacks the Fcitx 5 input-method module"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
launcher=$(the_one "$root"/usr/share/applications/*.desktop)
check_installed_files "$root/usr" "$(basename "$launcher" .desktop)"
# The change log's newest entry is this version (a new version needs its entry).
newest=$(gzip -dc "$root/usr/share/doc/kiramoku/changelog.gz" | head -n 1)
[[ $newest == "kiramoku ($version) "* ]] || fail "the change log's newest entry is not $version: $newest"
echo "$(basename "$deb"): version $version, $(wc -w <<<"$depends") runtime dependencies, all files in place"
