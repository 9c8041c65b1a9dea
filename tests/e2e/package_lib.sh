# shellcheck shell=bash
# Shared by the package tests; sourced after lib.sh.

# Makes the .deb of build tree $1 with CPack in directory $2 and sets `deb` to its path. The
# install step CPack runs writes install_manifest.txt into the build tree; it is put back as it
# was, so that the build tree is left unchanged.
package_build_tree() {
    local build=$1 dest=$2 manifest="$1/install_manifest.txt" saved=no
    if [[ -e $manifest ]]; then
        cp -p -- "$manifest" "$WORK/install_manifest.saved"
        saved=yes
    fi
    local status=0
    cpack --config "$build/CPackConfig.cmake" -G DEB -B "$dest" >"$WORK/cpack.log" 2>&1 || status=$?
    if [[ $saved == yes ]]; then
        mv -f -- "$WORK/install_manifest.saved" "$manifest"
    else
        rm -f -- "$manifest"
    fi
    ((status == 0)) || { show_file cpack "$WORK/cpack.log"; fail "cpack did not make the package"; }
    deb=$(echo "$dest"/tallowick_*.deb)
    [[ -f $deb ]] || fail "cpack made no tallowick_*.deb"
}
