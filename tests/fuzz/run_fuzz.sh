#!/usr/bin/env bash
# Runs one fuzz target for a bounded time from the committed seeds and any the build made;
# fails on any finding.
# Usage: run_fuzz.sh FUZZER SEED_DIR WORK_DIR SECONDS MAX_LEN [BUILT_SEED_DIR...]
set -uo pipefail

fuzzer=$1 seeds=$2 work=$3 seconds=$4 max_len=$5
rm -rf "$work"
mkdir -p "$work/corpus" "$work/findings"
# New inputs go to the scratch corpus, so the committed seeds stay as they are.
"$fuzzer" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work/findings/" "$work/corpus" "$seeds" "${@:6}"
status=$?
findings=$(ls "$work/findings")
if [ "$status" -ne 0 ] || [ -n "$findings" ]; then
    echo "FAIL: $(basename "$fuzzer") found a fault; inputs kept in $work/findings: $findings" >&2
    exit 1
fi
echo "$(basename "$fuzzer"): no findings in $seconds s"
