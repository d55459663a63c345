#!/usr/bin/env bash
# The Debian package as `make package` builds it, read back with dpkg-deb:
# its name, version and Japanese description, the runtime packages it depends
# on (every one a real package of this system, none a development package),
# and the files it puts under /usr.
#   check-deb.sh BUILD_DIR VERSION
set -euo pipefail
export LC_ALL=C.UTF-8  # grep -P reads Japanese only in a UTF-8 locale
build=$1 version=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Built into a folder of its own, so the build tree is left as it was.
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1 \
  || { cat "$work/cpack.log" >&2; fail "cpack"; }
debs=("$work"/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one .deb, found: ${debs[*]}"
deb=${debs[0]}
dpkg-deb -I "$deb"

info() { dpkg-deb -f "$deb" "$1"; }
[ "$(info Package)" = kiramoku ] || fail "Package: $(info Package)"
[ "$(info Version)" = "$version" ] || fail "Version: $(info Version), not $version"
[ "$(info Section)" = games ] || fail "Section: $(info Section)"
# (Read into variables first: grep -q stops early, which pipefail would count as failure.)
description=$(info Description)
grep -qP '\p{Han}' <<<"${description%%$'\n'*}" || fail "the summary is not in Japanese"
grep -qF "バージョン $version、日本語" <<<"$description" || fail "the description does not give version and language"

# The package names in Depends, without versions or alternatives.
depends=$(info Depends | tr ',|' '\n\n' | sed 's/(.*)//; s/^ *//; s/ *$//' | grep . | sort -u)
for needed in libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6 qt6-qpa-plugins \
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

contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
id=$(grep -o 'usr/share/applications/[^/]*\.desktop$' <<<"$contents" | sed 's|.*/||; s|\.desktop$||')
[ -n "$id" ] || fail "no launcher in the package"
for f in ./usr/bin/kiramoku ./usr/share/kiramoku/kira.mid ./usr/share/applications/$id.desktop \
         ./usr/share/metainfo/$id.metainfo.xml ./usr/share/icons/hicolor/scalable/apps/$id.svg \
         ./usr/share/doc/kiramoku/copyright; do
  grep -qxF "$f" <<<"$contents" || fail "the package lacks $f"
done
echo "$(basename "$deb"): version $version, $(wc -w <<<"$depends") runtime dependencies, all files in place"
