#!/usr/bin/env bash
# Lintian, Debian's own package checker, on the package: any error (E:) or
# warning (W:) fails; its informational notes (I:) are shown and pass.
#   check-lintian.sh DEB_DIR
source "$(dirname "$0")/installed-files.sh"
command -v lintian >/dev/null || fail "lintian is not installed (scripts/install-deps installs it)"
deb=$(the_one "$1"/*.deb)

# Lintian's exit status and its tag lines must both agree: a lintian that
# could not run at all reports no tags either.
status=0
report=$(lintian --display-info --fail-on error,warning "$deb" 2>&1) || status=$?
echo "$report"
problems=$(grep -E '^[EW]: ' <<<"$report" || true)
[ -z "$problems" ] || fail "lintian found $(wc -l <<<"$problems") errors or warnings"
[ "$status" -eq 0 ] || fail "lintian ended with status $status"
echo "lintian: no errors or warnings in $(basename "$deb")"
