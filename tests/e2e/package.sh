#!/usr/bin/env bash
# The .deb from end to end, as root: installed with apt, then, as a new unprivileged user, the
# installed program keeps an order over a restart in that user's data directory, and starts at
# login on request. The package and the user are removed whatever happens, and nothing of the
# package is left under /usr. Runs only where the package is not installed already.
#
# Usage: package.sh PROGRAM_DIR BUILD_DIR

set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"
# shellcheck source=package_lib.sh
source "$here/package_lib.sh"
e2e_start "$1"
build=$2 id=io.github.tallowick.Tallowick

(($(id -u) == 0)) || skip "installs a package and adds a user: needs root"
e2e_need "with TALLOWICK_WITH_TEST_TOOLS=1 tools/install-deps" \
    apt-get dpkg dpkg-query cpack dpkg-shlibdeps useradd userdel runuser timeout
if dpkg-query -W -f='${Status}' tallowick 2>/dev/null | grep -q installed; then
    skip "a tallowick package is installed on this machine; it is left alone"
fi
for path in /usr/bin/tallowick /usr/share/tallowick; do
    [[ ! -e $path ]] || skip "$path exists; this machine's Tallowick is left alone"
done

# What of the package's kind exists under /usr before: afterwards it must be just the same.
leftovers() { find /usr -iname '*tallowick*' 2>/dev/null | sort; }
leftovers >"$WORK/usr-before"

user=tlwk-e2e-$$
installed=no
created=no
remove_all() {
    if [[ $created == yes ]]; then
        userdel --force --remove "$user" >/dev/null 2>&1 || note "could not remove user $user"
    fi
    if [[ $installed == yes ]] &&
        ! DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq tallowick >/dev/null 2>&1; then
        dpkg --purge tallowick >/dev/null 2>&1 || note "could not remove the tallowick package"
    fi
}
E2E_CLEANUPS+=(remove_all)

package_build_tree "$build" "$WORK/package"

# What the package depends on is installed by tools/install-deps, so the machine gains this one
# package and loses it again.
apt-get install --simulate "$deb" >"$WORK/out" 2>&1 || true
if grep '^Inst ' "$WORK/out" | grep -qv '^Inst tallowick '; then
    show_file "apt-get install --simulate" "$WORK/out"
    skip "the package would bring other packages along: run tools/install-deps first"
fi
installed=yes
if ! DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >"$WORK/out" 2>&1; then
    show_file "apt-get install" "$WORK/out"
    fail "apt-get install of the package failed"
fi
[[ -x /usr/bin/tallowick ]] || fail "the package did not install /usr/bin/tallowick"
for f in chime windup deepbell alert; do
    [[ -f /usr/share/tallowick/sounds/$f.wav ]] || fail "no stock sound $f.wav"
done
note "ok: apt-get install ./$(basename "$deb")"

created=yes
useradd --create-home --shell /bin/sh "$user"
home=$(getent passwd "$user" | cut -d: -f6)
[[ -d $home ]] || fail "useradd made no home for $user"

# Runs the installed program as the user, in a clean environment without sound or display,
# with standard input from $1; the rest are its arguments.
run_as_user() {
    local input=$1
    shift
    runuser -u "$user" -- env -i HOME="$home" USER="$user" PATH=/usr/bin:/bin LC_ALL=C.UTF-8 \
        SDL_AUDIODRIVER=dummy PULSE_SERVER="unix:$home/no-sound-server" \
        ALSA_CONFIG_PATH=/dev/null timeout 20 tallowick "$@" <"$input"
}

run_as_user /dev/null --help >"$WORK/out" 2>&1 || fail "tallowick --help failed"
grep -qF "$home/.local/share/tallowick" "$WORK/out" ||
    { show_file "--help" "$WORK/out"; fail "--help does not tell the user's data directory"; }

printf 'in 1 h\n' >"$WORK/first"
printf 'orders\n' >"$WORK/second"
chmod 644 "$WORK/first" "$WORK/second"
chmod 711 "$WORK"
run_as_user "$WORK/first" --terminal >"$WORK/out" 2>"$WORK/err" ||
    { show_file stdout "$WORK/out"; show_file stderr "$WORK/err"; fail "the first run failed"; }
run_as_user "$WORK/second" --terminal >"$WORK/out" 2>"$WORK/err" ||
    { show_file stdout "$WORK/out"; show_file stderr "$WORK/err"; fail "the second run failed"; }
grep -q 'Order 1 will alarm in' "$WORK/out" ||
    { show_file stdout "$WORK/out"; fail "after a restart, orders does not tell the alarm"; }
data="$home/.local/share/tallowick"
[[ -s $data/settings.ini ]] || fail "no settings.ini in $data"
[[ $(stat -c '%a %U' "$data") == "700 $user" ]] ||
    fail "$data is $(stat -c '%a %U' "$data"), not 700 $user"
note "ok: the user's order survives a restart, kept in $data"

run_as_user /dev/null --autostart on >"$WORK/out" 2>&1 || fail "--autostart on failed"
entry="$home/.config/autostart/$id.desktop"
grep -qx 'Exec=tallowick' "$entry" || fail "the autostart entry does not start tallowick"
run_as_user /dev/null --autostart off >"$WORK/out" 2>&1 || fail "--autostart off failed"
[[ ! -e $entry ]] || fail "--autostart off left $entry"
note "ok: --autostart on and off"

remove_all
installed=no created=no
leftovers >"$WORK/usr-after"
if ! cmp -s "$WORK/usr-before" "$WORK/usr-after"; then
    diff "$WORK/usr-before" "$WORK/usr-after" >&2 || true
    fail "the package left files under /usr"
fi
note "ok: package and user removed, nothing left under /usr"
