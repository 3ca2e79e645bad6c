#!/usr/bin/env bash
# The main job on a built-in sample: builds DriverSetup.exe and driversetup-check.exe, lays a
# sample driver distribution folder under build/sample/, checks it, runs the launcher there
# under Wine as 64-bit and as 32-bit Windows, and shows what the pre-installer it started did:
# the driver package staged into Windows' INF folder, its exit code and its log.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

step() { printf '\n==> %s\n' "$*"; }

step "Checking the Debian packages for the Windows build and Wine"
scripts/install-deps.sh windows

step "Building DriverSetup.exe, driversetup-check.exe and the pre-installers (preset 'windows')"
cmake --preset windows >/dev/null
cmake --build --preset windows

build=$root/build/windows
sample=$root/build/sample
dist=$sample/distribution

step "Laying the sample distribution folder $dist"
scripts/lay_distribution.sh "$dist" "$build/DriverSetup.exe" \
    "$build/QZDrvPrep_x86.exe" "$build/QZDrvPrep_x64.exe"
(cd "$dist" && find . -type f | sort | sed 's/^\.\//    /')

# The Wine part runs where Wine can run 32-bit programs: here, or in the emulated guest.
scripts/with-wine.sh bash scripts/demo-wine.sh "$build" "$sample" || exit 1

step "Done"
echo "    distributable exe  : $build/DriverSetup.exe ($(stat -c %s "$build/DriverSetup.exe") bytes)"
echo "    pre-installers     : $build/QZDrvPrep_x86.exe ($(stat -c %s "$build/QZDrvPrep_x86.exe") bytes), $build/QZDrvPrep_x64.exe ($(stat -c %s "$build/QZDrvPrep_x64.exe") bytes)"
echo "    folder checker     : $build/driversetup-check.exe (for Linux: cmake --preset host, then build/host/driversetup-check)"
echo "    sample folder      : $dist"
