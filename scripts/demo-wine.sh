#!/usr/bin/env bash
# The demo's Wine part (started by scripts/demo.sh through scripts/with-wine.sh): checks the
# laid sample folder with driversetup-check.exe, then runs the launcher there as 64-bit and as
# 32-bit Windows and shows what the real pre-installer did: its exit code and log, and the
# package's byte-identical copy in Windows' INF folder.
# Usage: demo-wine.sh BUILD_DIR SAMPLE_DIR
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=wine_common.sh
. "$root/scripts/wine_common.sh"
build=$1 sample=$2
dist=$sample/distribution
step() { printf '\n==> %s\n' "$*"; }

step "Checking the folder with driversetup-check.exe (64-bit Wine prefix $sample/wine/win64)"
wine_ensure_prefix "$sample/wine/win64" win64
# The checker reads the folder only; copied beside it, not into it, so the folder stays as laid.
cp "$build/driversetup-check.exe" "$sample/driversetup-check.exe"
set +e
(cd "$dist" && WINEPREFIX=$sample/wine/win64 wine "$sample/driversetup-check.exe" | tr -d '\r' |
    sed 's/^/    /')
check_status=${PIPESTATUS[0]}
set -e
echo "    checker exit code  : $check_status"

for arch in win64 win32; do
    bits=${arch#win}
    prefix=$sample/wine/$arch
    if [ "$bits" = 64 ]; then inf=$dist/Drive/Tavix/amd64/quenusb.inf; else inf=$dist/Drive/Tavix/x86/quenusb.inf; fi
    step "Running DriverSetup.exe on ${bits}-bit Windows (Wine prefix $prefix)"
    wine_ensure_prefix "$prefix" "$arch"
    log=$(wine_temp_dir "$prefix")/QZDrvPrep.log
    rm -f "$log"
    set +e
    (cd "$dist" && WINEPREFIX=$prefix wine DriverSetup.exe)
    exit_code=$?
    set -e
    # The launcher does not wait for the pre-installer; the prefix is idle once it has ended.
    WINEPREFIX=$prefix wineserver -w
    echo "    launcher exit code      : $exit_code"
    if [ ! -f "$log" ]; then
        echo "    pre-installer           : wrote no log, so it did not start"
        continue
    fi
    # The log's last line has the step that ended the run and its result, the exit code.
    last=$(tr -d '\r' <"$log" | awk -F ' [|] ' 'END { print $3 " " $5 }')
    echo "    pre-installer exit code : ${last##* } (its last step: ${last%% *})"
    windows_log=${log#"$prefix/drive_c"}
    echo "    its log, C:${windows_log//\//\\}:"
    tr -d '\r' <"$log" | sed 's/^/        /'
    staged=
    while IFS= read -r file; do
        staged="$staged C:\\windows\\inf\\$(basename "$file")"
    done < <(wine_staged_copies "$prefix" "$inf")
    if [ -n "$staged" ]; then
        echo "    in Windows' INF folder  :$staged, byte-identical to $(wine_windows_path "$inf")"
    else
        echo "    in Windows' INF folder  : no file with the package's bytes"
    fi
done
