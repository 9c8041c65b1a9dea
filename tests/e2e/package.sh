#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The installed files pass desktop-file-validate, appstreamcli and man --warnings, the .deb
# passes lintian. Then, as root where no Tallowick is installed, the .deb is installed; for a new
# user the program keeps an order over a restart, its helper has the capability to wake the
# computer for it, and it starts at login on request. The package and the user are removed
# whatever happens, leaving nothing under /usr.
# Usage: package.sh PROGRAM_DIR BUILD_DIR SOURCE_DIR

set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"
e2e_start "$1"
build=$2 data="$3/data" id=io.github.tallowick.Tallowick
e2e_need "with TALLOWICK_WITH_TEST_TOOLS=1 tools/install-deps" \
    desktop-file-validate appstreamcli man lintian cpack dpkg-shlibdeps
# Runs the command after $1, output in $WORK/out; fails with $1 if it fails or (`quiet`) writes.
checked() {
    "${@:2}" >"$WORK/out" 2>&1 && [[ -z ${quiet:-} || ! -s $WORK/out ]] ||
        { show_file "$2" "$WORK/out"; fail "$1"; }
}
quiet=1 checked "the desktop entry is not valid" desktop-file-validate "$data/$id.desktop"
checked "the AppStream data is not valid" appstreamcli validate --no-net "$data/$id.metainfo.xml"
# groff writes its warnings on standard error; a page that renders cleanly writes none.
MANWIDTH=80 man --warnings -l "$build/data/tallowick.1" >"$WORK/page" 2>"$WORK/out"
[[ ! -s $WORK/out ]] || { show_file "man --warnings" "$WORK/out"; fail "the manual page warns"; }
for option in --terminal --autostart --help --version; do
    grep -q -- "$option" "$WORK/page" || fail "the manual page does not tell of $option"
done

# CPack's install step writes install_manifest.txt into the build tree: it is put back as it was.
manifest="$build/install_manifest.txt"
[[ ! -e $manifest ]] || cp -p -- "$manifest" "$WORK/manifest"
status=0
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$WORK/deb" >"$WORK/cpack.log" 2>&1 || status=$?
if [[ -e $WORK/manifest ]]; then mv -f "$WORK/manifest" "$manifest"; else rm -f "$manifest"; fi
((status == 0)) || { show_file cpack "$WORK/cpack.log"; fail "cpack did not make the package"; }
deb=$(echo "$WORK"/deb/tallowick_*.deb) && [[ -f $deb ]] || fail "cpack made no tallowick_*.deb"
# lintian warns when run as root; that is no finding about the package.
lintian --tag-display-limit 0 "$deb" 2>&1 | grep -v '^running with root' >"$WORK/findings" || true
show_file "lintian (warnings explained in the README)" "$WORK/findings"
! grep -q '^E:' "$WORK/findings" || fail "lintian finds errors in the package"
echo "ok: desktop-file-validate, appstreamcli, man --warnings, lintian" >&2

(($(id -u) == 0)) || skip "the files pass; installing the package and adding a user needs root"
e2e_need "with TALLOWICK_WITH_TEST_TOOLS=1 tools/install-deps" \
    apt-get dpkg dpkg-query useradd userdel runuser timeout getcap
! dpkg-query -W -f='${Status}' tallowick 2>/dev/null | grep -q installed &&
    [[ ! -e /usr/bin/tallowick && ! -e /usr/share/tallowick ]] ||
    skip "this machine has a Tallowick of its own; it is left alone"
# What of the package's kind exists under /usr before: afterwards it must be just the same.
leftovers() { find /usr -iname '*tallowick*' 2>/dev/null | sort; }
leftovers >"$WORK/usr-before"
user=tlwk-e2e-$$ installed=no created=no
remove_all() {
    if [[ $created == yes ]]; then
        userdel --force --remove "$user" >/dev/null 2>&1 || echo "could not remove user $user" >&2
    fi
    if [[ $installed == yes ]] &&
        ! DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq tallowick >/dev/null 2>&1; then
        dpkg --purge tallowick >/dev/null 2>&1 || echo "could not remove the tallowick package" >&2
    fi
}
E2E_CLEANUPS+=(remove_all)

# What the package depends on is installed by tools/install-deps: the machine gains this one
# package and loses it again.
apt-get install --simulate "$deb" >"$WORK/out" 2>&1 || true
if grep '^Inst ' "$WORK/out" | grep -qv '^Inst tallowick '; then
    show_file "apt-get install --simulate" "$WORK/out"
    skip "the package would bring other packages along: run tools/install-deps first"
fi
installed=yes
checked "apt-get install failed" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb"
for f in bin/tallowick share/tallowick/sounds/{chime,windup,deepbell,alert}.wav; do
    [[ -f /usr/$f ]] || fail "the package did not install /usr/$f"
done
created=yes
useradd --create-home --shell /bin/sh "$user"
home=$(getent passwd "$user" | cut -d: -f6) && [[ -d $home ]] || fail "useradd made no home"

# Runs the installed program as the user in a clean environment: input $1, the arguments after.
run_as_user() {
    printf '%b' "$1" >"$WORK/in"
    checked "tallowick ${*:2} failed" runuser -u "$user" -- env -i HOME="$home" USER="$user" \
        PATH=/usr/bin:/bin LC_ALL=C.UTF-8 SDL_AUDIODRIVER=dummy ALSA_CONFIG_PATH=/dev/null \
        PULSE_SERVER="unix:$home/no-sound-server" timeout 20 tallowick "${@:2}" <"$WORK/in"
}
data="$home/.local/share/tallowick"
run_as_user '' --help
grep -qF "$data" "$WORK/out" || { show_file --help "$WORK/out"; fail "--help does not tell $data"; }
run_as_user 'in 1 h\n' --terminal
[[ $(getcap /usr/libexec/tallowick/tallowick-wake) == *' cap_wake_alarm=ep' ]] &&
    ! grep -q 'cannot wake' "$WORK/out" || fail "the installed helper cannot wake the computer"
run_as_user 'orders\n' --terminal
grep -q 'Order 1 will alarm' "$WORK/out" || { show_file out "$WORK/out"; fail "the order is lost"; }
[[ -s $data/settings.ini && $(stat -c '%a %U' "$data") == "700 $user" ]] ||
    fail "no settings.ini in $data, or $data is not 700 $user"
entry="$home/.config/autostart/$id.desktop"
run_as_user '' --autostart on
grep -qx 'Exec=tallowick' "$entry" || fail "the autostart entry does not start tallowick"
run_as_user '' --autostart off
[[ ! -e $entry ]] || fail "--autostart off left $entry"

remove_all
installed=no created=no
leftovers | diff "$WORK/usr-before" - >&2 || fail "the package left files under /usr"
