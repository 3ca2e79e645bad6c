#!/usr/bin/env bash
# What a catalog costs: driversetup-catalog make and verify on a package generated here, about
# 256 MiB of PE and flat files and a second one a quarter of that size, beside the floors
# that read the same bytes once: `cat FILES | sha1sum` for v1, and sha1sum plus sha256sum for
# v2 (which hashes each file with both). Also each run's peak memory (maximum RSS), which
# should not grow with the package. Prints Markdown tables. It is a benchmark, not a test.
# Usage: bench/bench-catalog.sh [RUNS]   (default 3; the median is shown)
set -euo pipefail

runs=${1:-3}
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/install-deps.sh host >&2
cmake --preset host >/dev/null
cmake --build --preset host --target driversetup-catalog write_pe >/dev/null
tool=$root/build/host/driversetup-catalog
write_pe=$root/build/host/tests/write_pe
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# lay_package DIR MIB: an INF and MIB MiB in 16 files under sys\, half of them PE files (a
# PE header and random data), half flat.
lay_package() {
    local dir=$1 mib=$2 count=16 i name
    local each=$((mib * 1024 * 1024 / count))
    mkdir -p "$dir/sys"
    {
        printf '[Version]\nSignature="$Windows NT$"\nClass=USB\nCatalogFile=bench.cat\n'
        printf '[SourceDisksNames]\n1=d,,,sys\n[SourceDisksFiles]\n'
    } >"$dir/bench.inf"
    for i in $(seq "$count"); do
        if [ $((i % 2)) -eq 0 ]; then
            name=file$i.sys
            "$write_pe" x64-gui "$dir/sys/$name"
            head -c "$((each - $(stat -c %s "$dir/sys/$name")))" /dev/urandom >>"$dir/sys/$name"
        else
            name=file$i.bin
            head -c "$each" /dev/urandom >"$dir/sys/$name"
        fi
        printf '%s=1\n' "$name" >>"$dir/bench.inf"
    done
    printf '[Manufacturer]\nM=Models,NTamd64\n[Models.NTamd64]\nD=I,USB\\VID_F055&PID_0A11\n' \
        >>"$dir/bench.inf"
}

# measure COMMAND...: runs it $runs times; prints the median seconds and the largest peak
# memory in MiB.
measure() {
    local times=() peak=0 i out
    for i in $(seq "$runs"); do
        if ! /usr/bin/time -o "$work/time" -f '%e %M' "$@" >"$work/out" 2>&1; then
            echo "bench-catalog: failed: $*" >&2
            cat "$work/out" >&2
            exit 1
        fi
        out=$(tail -n 1 "$work/time")
        times+=("${out% *}")
        [ "${out#* }" -gt "$peak" ] && peak=${out#* }
        : "$i"
    done
    printf '%s %s\n' "$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")" \
        "$((peak / 1024))"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }

echo "| Package | Step | Median (s) | Floor (s) | Ratio | Peak memory (MiB) |"
echo "|---|---|---:|---:|---:|---:|"
for mib in 256 64; do
    pkg=$work/pkg-$mib
    lay_package "$pkg" "$mib"
    files=("$pkg"/bench.inf "$pkg"/sys/*)
    # Warm the page cache so that every run reads from memory alike.
    cat "${files[@]}" >/dev/null
    read -r floor1 _ < <(measure bash -c 'cat "$@" | sha1sum' - "${files[@]}")
    read -r floor2 _ < <(measure bash -c 'sha1sum "$@"; sha256sum "$@"' - "${files[@]}")
    read -r make1 peak_make1 < <(measure "$tool" make "$pkg/bench.inf")
    read -r verify1 peak_verify1 < <(measure "$tool" verify "$pkg/bench.inf")
    read -r make2 peak_make2 < <(measure "$tool" make --sha256 "$pkg/bench.inf")
    read -r verify2 peak_verify2 < <(measure "$tool" verify "$pkg/bench.inf")
    echo "| $mib MiB | make v1 | $make1 | $floor1 | $(ratio "$make1" "$floor1") | $peak_make1 |"
    echo "| $mib MiB | verify v1 | $verify1 | $floor1 | $(ratio "$verify1" "$floor1") | $peak_verify1 |"
    echo "| $mib MiB | make v2 | $make2 | $floor2 | $(ratio "$make2" "$floor2") | $peak_make2 |"
    echo "| $mib MiB | verify v2 | $verify2 | $floor2 | $(ratio "$verify2" "$floor2") | $peak_verify2 |"
    rm -rf "$pkg"
done
