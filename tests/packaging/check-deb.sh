#!/usr/bin/env bash
# The Debian package that make-deb.sh built, read back with dpkg-deb: its
# fields and descriptions, the runtime packages it depends on (every one a real
# package of this system) and the files it puts under /usr.
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
# The libraries the game links, which dpkg-shlibdeps finds: Qt with its SVG
# and network modules, the synthesizer, ALSA, the sound server's client, the alert sound,
# X11's connection and GLib.
linked="libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6 libqt6network6 libfluidsynth3 libasound2
        libpulse0 libcanberra0 libxcb1 libglib2.0-0"
# What debian/control names for the game to load or read while it runs: the Qt
# platform plugins and Qt's Japanese words, the SoundFont, the two IPA faces,
# the alert sound and libcanberra's way to the desktop's sound server.
loaded="qt6-qpa-plugins qt6-translations-l10n timgm6mb-soundfont fonts-ipafont-gothic
        fonts-ipafont-mincho sound-theme-freedesktop libcanberra-pulse"
for needed in $linked $loaded; do
  grep -qx "$needed" <<<"$depends" || fail "Depends lacks $needed"
done
for name in $depends; do
  case $name in *-dev) fail "Depends names the development package $name" ;; esac
  # The build machine has every runtime package installed (scripts/install-deps).
  [ "$(dpkg-query -W -f='${Status}' "$name" 2>/dev/null)" = "install ok installed" ] \
    || fail "Depends names $name, which is not an installed Debian package here"
done
[ "$(info Recommends)" = fcitx5-frontend-qt6 ] || fail "Recommends: $(info Recommends), not the Fcitx 5 input-method module alone"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
launcher=$(the_one "$root"/usr/share/applications/*.desktop)
check_installed_files "$root/usr" "$(basename "$launcher" .desktop)"
# The change log's newest entry is this version (a new version needs its entry).
newest=$(gzip -dc "$root/usr/share/doc/kiramoku/changelog.gz" | head -n 1)
[[ $newest == "kiramoku ($version) "* ]] || fail "the change log's newest entry is not $version: $newest"
echo "$(basename "$deb"): version $version, $(wc -w <<<"$depends") runtime dependencies, all files in place"
