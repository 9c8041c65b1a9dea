#!/usr/bin/env bash
# The files an installed Tallowick brings pass the checks of their own tools: the desktop entry
# (desktop-file-validate), the AppStream metadata (appstreamcli), the manual page (man
# --warnings), and the .deb that CPack makes of the build tree (lintian: no errors).
#
# Usage: package_files.sh PROGRAM_DIR BUILD_DIR SOURCE_DIR

set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"
# shellcheck source=package_lib.sh
source "$here/package_lib.sh"
e2e_start "$1"
build=$2 data="$3/data" id=io.github.tallowick.Tallowick

e2e_need "with TALLOWICK_WITH_TEST_TOOLS=1 tools/install-deps" \
    desktop-file-validate appstreamcli man lintian cpack dpkg-shlibdeps

desktop-file-validate "$data/$id.desktop" >"$WORK/out" 2>&1 ||
    { show_file desktop-file-validate "$WORK/out"; fail "the desktop entry does not validate"; }
[[ ! -s "$WORK/out" ]] || { show_file desktop-file-validate "$WORK/out"; fail "desktop entry hints"; }
note "ok: desktop-file-validate"

appstreamcli validate --no-net "$data/$id.metainfo.xml" >"$WORK/out" 2>&1 ||
    { show_file appstreamcli "$WORK/out"; fail "the AppStream metadata does not validate"; }
note "ok: appstreamcli validate --no-net"

# groff writes its warnings on standard error; a page that renders cleanly writes none.
MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$data/tallowick.1" >"$WORK/page" 2>"$WORK/out"
[[ ! -s "$WORK/out" ]] || { show_file "man --warnings" "$WORK/out"; fail "the manual page warns"; }
for option in --terminal --autostart --help --version; do
    grep -q -- "$option" "$WORK/page" || fail "the manual page does not tell of $option"
done
note "ok: man --warnings"

# The package, made in a directory of this run so that the build tree stays as it was.
package_build_tree "$build" "$WORK/package"
# lintian warns when run as root; that is no finding about the package.
lintian --tag-display-limit 0 "$deb" >"$WORK/out" 2>&1 || true
grep -v '^running with root privileges' "$WORK/out" >"$WORK/findings" || true
if grep -q '^E:' "$WORK/findings"; then
    show_file lintian "$WORK/findings"
    fail "lintian finds errors in the package"
fi
show_file "lintian (warnings explained in the README)" "$WORK/findings"
note "ok: lintian finds no errors"
