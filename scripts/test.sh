#!/usr/bin/env bash
# Runs every test: the host unit tests against fakes (plain, then under sanitizers with the
# bounded fuzz runs), then the Windows build with its Wine end-to-end tests and exe checks.
# Installs missing Debian packages first.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

step() { printf '\n==> %s\n' "$*"; }

step "Checking the Debian packages for both builds"
scripts/install-deps.sh all || exit 1

# run_suite NAME PRESET: configures, builds and tests one preset; prints and records the result.
results=()
status=0
run_suite() {
    local name=$1 preset=$2
    step "$name (preset '$preset')"
    if cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" &&
        ctest --preset "$preset"; then
        results+=("passed: $name")
    else
        results+=("FAILED: $name")
        status=1
    fi
}

step "Formatting of the C++ sources"
if scripts/format.sh --check; then
    results+=("passed: Formatting")
else
    results+=("FAILED: Formatting (run scripts/format.sh)")
    status=1
fi

run_suite "Host unit tests" host
run_suite "Host unit tests under ASan and UBSan, and the fuzz targets" host-sanitize
run_suite "Windows build, Wine end-to-end tests and exe checks" windows

step "Summary"
printf '    %s\n' "${results[@]}"
exit $status
