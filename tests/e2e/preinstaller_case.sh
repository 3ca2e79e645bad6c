#!/usr/bin/env bash
# One end-to-end case of the real pre-installer under a Wine prefix: lays a distribution folder
# with the real QZDrvPrep builds, runs it (through the launcher or directly), and checks the
# driver store (C:\windows\inf, found by content), the exit code and the log.
# Usage: preinstaller_case.sh CASE PREFIX_DIR WORK_DIR LAUNCHER_EXE PREP_X86 PREP_X64
set -uo pipefail

case_name=$1 prefix=$2 work=$3 launcher=$4 prep_x86=$5 prep_x64=$6
here=$(cd "$(dirname "$0")" && pwd)
scripts=$here/../../scripts
# shellcheck source=../../scripts/wine_common.sh
. "$scripts/wine_common.sh"
export WINEPREFIX=$prefix
readonly kRunTimeout=$((60 * ${DRIVERSETUP_TIMEOUT_SCALE:-1}))
# What 0xE0000235 (ERROR_IN_WOW64) leaves of an exit code on Linux: its low byte.
readonly kInWow64LowByte=53

failures=0
checks=0
expect_eq() {
    checks=$((checks + 1))
    if [ "$2" != "$3" ]; then
        echo "FAIL [$case_name]: $1: got '$2', expected '$3'" >&2
        failures=$((failures + 1))
    fi
}
expect_log() {
    checks=$((checks + 1))
    if ! grep -qF -- "$1" "$log" 2>/dev/null; then
        echo "FAIL [$case_name]: no log line with '$1'; the log:" >&2
        sed 's/^/    /' "$log" >&2 2>/dev/null
        failures=$((failures + 1))
    fi
}

if [ -d "$prefix/drive_c/windows/syswow64" ]; then bits=64; else bits=32; fi
if [ "$bits" = 64 ]; then arch_dir=amd64 build=x64; else arch_dir=x86 build=x86; fi
dist=$work/prep-$case_name-win$bits
log=$(wine_temp_dir "$prefix")/QZDrvPrep.log
"$scripts/lay_distribution.sh" "$dist" "$launcher" "$prep_x86" "$prep_x64" || exit 1
sample_inf=$dist/Drive/Tavix/$arch_dir/quenusb.inf

# copies_in_store: how many files in the INF folder have the sample INF's exact bytes.
copies_in_store() { wine_staged_copies "$prefix" "$sample_inf" | grep -c .; }
# Each case starts from a store without the package and an empty log.
wine_staged_copies "$prefix" "$sample_inf" | while IFS= read -r file; do rm -f "$file"; done
rm -f "$log"

run_in_dist() {
    (cd "$dist" && timeout "$kRunTimeout" wine "$@")
}

case $case_name in
launcher_stages | second_run_stages_once)
    runs=1
    [ "$case_name" = second_run_stages_once ] && runs=2
    for _ in $(seq "$runs"); do
        run_in_dist DriverSetup.exe
        expect_eq "launcher exit code" "$?" 0
        # The launcher does not wait; the pre-installer has ended when the prefix is idle.
        timeout "$kRunTimeout" wineserver -w
    done
    expect_eq "byte-identical copies of the INF in C:\\windows\\inf" "$(copies_in_store)" 1
    expect_eq "finished runs in the log" "$(grep -c '| done |' "$log" 2>/dev/null)" "$runs"
    expect_log "| $build | stage | $(wine_windows_path "$sample_inf") | 0 |"
    expect_log "| $build | done | $(wine_windows_path "$sample_inf") | 0 |"
    ;;
missing_inf)
    run_in_dist "Drive\\$([ "$bits" = 64 ] && echo amd64\\QZDrvPrep_x64.exe || echo i386\\QZDrvPrep_x86.exe)" \
        /I "Drive\\Tavix\\$arch_dir\\missing.inf"
    expect_eq "exit code (ERROR_FILE_NOT_FOUND)" "$?" 2
    expect_log "| $build | read | $(wine_windows_path "$dist")\\Drive\\Tavix\\$arch_dir\\missing.inf | 2 |"
    expect_eq "copies in the store" "$(copies_in_store)" 0
    ;;
catalog_missing)
    # Setup copies the catalog with the INF; without it nothing is staged.
    rm -f "${sample_inf%.inf}.cat"
    run_in_dist "Drive\\$([ "$bits" = 64 ] && echo amd64\\QZDrvPrep_x64.exe || echo i386\\QZDrvPrep_x86.exe)" \
        /I "Drive\\Tavix\\$arch_dir\\quenusb.inf"
    expect_eq "exit code (ERROR_FILE_NOT_FOUND)" "$?" 2
    expect_log "| $build | stage | $(wine_windows_path "$sample_inf") | 2 |"
    expect_log "such as its catalog, is not beside it"
    expect_eq "copies in the store" "$(copies_in_store)" 0
    ;;
non_ascii_path_with_blanks)
    # The package copied to a folder whose name has blanks and non-ASCII letters, named quoted
    # and absolute; Wine passes the UTF-8 argument on as UTF-16.
    odd="$dist/Pilotes été 漢字"
    mkdir -p "$odd"
    cp "$sample_inf" "$odd/quenusb.inf"
    cp "${sample_inf%.inf}.cat" "$odd/quenusb.cat"
    export LC_ALL=C.UTF-8
    run_in_dist "Drive\\$([ "$bits" = 64 ] && echo amd64\\QZDrvPrep_x64.exe || echo i386\\QZDrvPrep_x86.exe)" \
        /I "$(wine_windows_path "$odd")\\quenusb.inf"
    expect_eq "exit code" "$?" 0
    expect_log "| $build | stage | $(wine_windows_path "$odd")\\quenusb.inf | 0 |"
    expect_eq "byte-identical copies of the INF in C:\\windows\\inf" "$(copies_in_store)" 1
    ;;
x86_refuses_on_64_bit)
    run_in_dist "Drive\\i386\\QZDrvPrep_x86.exe" /I "Drive\\Tavix\\$arch_dir\\quenusb.inf"
    expect_eq "exit code (low byte of ERROR_IN_WOW64)" "$?" "$kInWow64LowByte"
    expect_log "| x86 | wow64 | Drive\\Tavix\\$arch_dir\\quenusb.inf | 0xE0000235 |"
    expect_log "use QZDrvPrep_x64.exe"
    expect_eq "copies in the store" "$(copies_in_store)" 0
    ;;
*)
    echo "unknown case $case_name" >&2
    exit 2
    ;;
esac
timeout "$kRunTimeout" wineserver -w

echo "$case_name on ${bits}-bit Wine: $((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
