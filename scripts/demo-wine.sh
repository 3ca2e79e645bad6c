#!/usr/bin/env bash
# The demo's Wine part (started by scripts/demo.sh through scripts/with-wine.sh): checks the
# laid sample folder with driversetup-check.exe, then runs the launcher there as 64-bit and as
# 32-bit Windows and shows what the pre-installer stand-in recorded.
# Usage: demo-wine.sh BUILD_DIR SAMPLE_DIR
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=wine_common.sh
. "$root/scripts/wine_common.sh"
build=$1 sample=$2
dist=$sample/distribution
report=$dist/$STANDIN_REPORT_NAME
step() { printf '\n==> %s\n' "$*"; }

field() { standin_report_value "$report" "$1"; }

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
    step "Running DriverSetup.exe on ${bits}-bit Windows (Wine prefix $prefix)"
    wine_ensure_prefix "$prefix" "$arch"
    rm -f "$report"
    set +e
    (cd "$dist" && WINEPREFIX=$prefix wine DriverSetup.exe)
    exit_code=$?
    set -e
    # The launcher does not wait for the pre-installer; let it finish before reading its note.
    WINEPREFIX=$prefix wineserver -w
    echo "    launcher exit code : $exit_code"
    if [ ! -f "$report" ]; then
        echo "    started            : nothing"
        continue
    fi
    if [ "$(field startf_useshowwindow)" = 1 ] && [ "$(field show_window)" = 0 ]; then
        window="hidden (STARTF_USESHOWWINDOW with SW_HIDE)"
    else
        window="flags=$(field startf_useshowwindow) show=$(field show_window)"
    fi
    if [ "$(field inf_found)" = 1 ]; then inf_state=found; else inf_state="NOT found"; fi
    echo "    started            : $(field program) ($(field bits)-bit build)"
    echo "    command line       : $(field command_line)"
    echo "    working directory  : $(field working_directory)"
    echo "    window             : $window"
    echo "    driver package     : $(field inf_path) ($inf_state from that directory)"
done

