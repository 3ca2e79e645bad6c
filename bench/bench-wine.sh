#!/usr/bin/env bash
# The Wine part of bench/bench.sh, run through scripts/with-wine.sh: times the launcher, the
# empty program and the batch file in a warm 64-bit prefix, then the real pre-installer's
# staging. Usage: bench/bench-wine.sh RUNS
set -euo pipefail

runs=$1
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
# shellcheck source=../scripts/wine_common.sh
. scripts/wine_common.sh
# Inside the emulated guest only ratios mean something.
in_guest=${DRIVERSETUP_IN_GUEST:-0}

build=$root/build/windows
work=$root/build/bench
dist=$work/distribution
report=$dist/$STANDIN_REPORT_NAME
export WINEPREFIX=$work/wine/win64

export DRIVERSETUP_SAMPLE_PACKAGE=$build/sample-package
echo "bench: preparing the 64-bit Wine prefix $WINEPREFIX" >&2
wine_ensure_prefix "$WINEPREFIX" win64
scripts/lay_distribution.sh "$dist" "$build/DriverSetup.exe" \
    "$build/standin/QZDrvPrep_x86.exe" "$build/standin/QZDrvPrep_x64.exe"
cp "$build/bench/empty_main.exe" "$dist/empty_main.exe"
cp bench/launch.cmd "$dist/launch.cmd"

# A persistent server keeps the prefix warm between runs; ended below. Children are awaited
# by their report, not with wineserver -w, which does not mix with a persistent server.
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT

# Seconds the stand-in may take to show up before a launch counts as starting nothing.
readonly kReportWait=20

# run_once KIND: one timed run in the distribution folder; prints microseconds. For kinds
# that start the pre-installer, waits (untimed) until it has written its report.
run_once() {
    local kind=$1 started elapsed
    rm -f "$report"
    started=$(date +%s%N)
    case $kind in
    launcher) (cd "$dist" && wine DriverSetup.exe) >/dev/null 2>&1 ;;
    empty) (cd "$dist" && wine empty_main.exe) >/dev/null 2>&1 ;;
    batch) (cd "$dist" && wine cmd /c launch.cmd) >/dev/null 2>&1 ;;
    esac
    elapsed=$((($(date +%s%N) - started) / 1000))
    if [ "$kind" != empty ]; then
        local waited=0
        while [ ! -s "$report" ] && [ "$waited" -lt $((kReportWait * 10)) ]; do
            sleep 0.1
            waited=$((waited + 1))
        done
        # Let the stand-in finish writing and end before the next run.
        sleep 0.3
        standin_report_value "$report" program >"$work/started-$kind"
    fi
    echo "$elapsed"
}

# A few untimed runs first, so every file is in the cache and the server is up.
for kind in launcher empty batch; do
    run_once "$kind" >/dev/null
    run_once "$kind" >/dev/null
done

echo "bench: timing $runs launches of each, interleaved" >&2
: >"$work/launcher.us"
: >"$work/empty.us"
: >"$work/batch.us"
# Runs in which the 64-bit pre-installer really started, by the stand-in's report.
declare -A started_ok=([launcher]=0 [batch]=0)
for _ in $(seq "$runs"); do
    for kind in launcher empty batch; do
        run_once "$kind" >>"$work/$kind.us"
        if [ "$kind" != empty ] && grep -q 'Drive\\amd64\\QZDrvPrep_x64.exe$' "$work/started-$kind"; then
            started_ok[$kind]=$((started_ok[$kind] + 1))
        fi
    done
done

# Staging: the real 64-bit pre-installer started directly and timed to its exit, with its copy
# removed from the INF folder before each run so that every run really stages.
prep_dist=$work/prep-distribution
scripts/lay_distribution.sh "$prep_dist" "$build/DriverSetup.exe" \
    "$build/QZDrvPrep_x86.exe" "$build/QZDrvPrep_x64.exe"
inf=$prep_dist/Drive/Tavix/amd64/quenusb.inf
unstage() {
    local file
    while IFS= read -r file; do rm -f "$file" "${file%.inf}.pnf"; done \
        < <(wine_staged_copies "$WINEPREFIX" "$inf")
}
staged() { [ -n "$(wine_staged_copies "$WINEPREFIX" "$inf")" ]; }
echo "bench: timing $runs stagings by QZDrvPrep_x64.exe" >&2
: >"$work/stage.us"
staged_ok=0
for run in $(seq $((runs + 2))); do
    unstage
    started=$(date +%s%N)
    set +e
    (cd "$prep_dist" && wine 'Drive\amd64\QZDrvPrep_x64.exe' /I 'Drive\Tavix\amd64\quenusb.inf') >/dev/null 2>&1
    code=$?
    set -e
    elapsed=$((($(date +%s%N) - started) / 1000))
    # The first two warm the cache and are not counted.
    [ "$run" -le 2 ] && continue
    echo "$elapsed" >>"$work/stage.us"
    [ "$code" -eq 0 ] && staged && staged_ok=$((staged_ok + 1))
done

median_ms() { sort -n "$1" | awk '{ v[NR] = $1 } END { printf "%.1f", (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) / 1000 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

launcher_bytes=$(stat -c %s "$build/DriverSetup.exe")
empty_bytes=$(stat -c %s "$build/bench/empty_main.exe")
batch_bytes=$(stat -c %s bench/launch.cmd)
stage_ms=$(median_ms "$work/stage.us")
launcher_ms=$(median_ms "$work/launcher.us")
empty_ms=$(median_ms "$work/empty.us")
batch_ms=$(median_ms "$work/batch.us")

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)
os=$(. /etc/os-release && echo "$PRETTY_NAME")
echo
echo "Machine: $cpu, $(nproc) cores, $os, $(wine --version), 64-bit prefix; $runs runs each."
echo
if [ "$in_guest" = 1 ]; then
    echo "In the emulated x86-64 guest (no 32-bit x86 support on this machine): ratios only."
    echo
    echo "| Program | Size (bytes) | DriverSetup.exe size ÷ this | DriverSetup.exe time ÷ this |"
    echo "|---|---:|---:|---:|"
    echo "| DriverSetup.exe | $launcher_bytes | 1.00 | 1.00 |"
    echo "| empty program (same toolchain and flags) | $empty_bytes | $(ratio "$launcher_bytes" "$empty_bytes") | $(ratio "$launcher_ms" "$empty_ms") |"
    echo "| batch file (\`cmd /c launch.cmd\`) | $batch_bytes (script only) | – | $(ratio "$launcher_ms" "$batch_ms") |"
    echo
    echo "One staging by QZDrvPrep_x64.exe takes $(ratio "$stage_ms" "$launcher_ms") times one launch."
else
    echo "| Program | Size (bytes) | DriverSetup.exe size ÷ this | Median launch (ms) | DriverSetup.exe time ÷ this |"
    echo "|---|---:|---:|---:|---:|"
    echo "| DriverSetup.exe | $launcher_bytes | 1.00 | $launcher_ms | 1.00 |"
    echo "| empty program (same toolchain and flags) | $empty_bytes | $(ratio "$launcher_bytes" "$empty_bytes") | $empty_ms | $(ratio "$launcher_ms" "$empty_ms") |"
    echo "| batch file (\`cmd /c launch.cmd\`) | $batch_bytes (script only) | – | $batch_ms | $(ratio "$launcher_ms" "$batch_ms") |"
    echo
    echo "One staging by QZDrvPrep_x64.exe (to its exit, INF removed from C:\\windows\\inf before each): median $stage_ms ms."
fi
echo
echo "Pre-installer started (64-bit build, checked from its report): DriverSetup.exe in" \
    "${started_ok[launcher]} of $runs runs, the batch file in ${started_ok[batch]} of $runs runs;" \
    "the package staged byte-identical in $staged_ok of $runs stagings."
