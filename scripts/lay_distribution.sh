#!/usr/bin/env bash
# Lays out a driver distribution folder as the launcher expects it, with the given launcher
# and pre-installers (the real builds or the recording stand-ins).
set -euo pipefail

usage() {
    cat <<'USAGE'
Usage: lay_distribution.sh DEST LAUNCHER_EXE PREP_X86 PREP_X64 [--without-x64|--no-drive]
Lays:
  DEST/DriverSetup.exe
  DEST/Drive/i386/QZDrvPrep_x86.exe    DEST/Drive/Tavix/x86/quenusb.inf (and .cat)
  DEST/Drive/amd64/QZDrvPrep_x64.exe   DEST/Drive/Tavix/amd64/quenusb.inf (and .cat)
  --without-x64  leaves out the 64-bit pre-installer (a damaged distribution)
  --no-drive     lays only the launcher, with no Drive tree at all
USAGE
}

if [ $# -lt 4 ]; then
    usage >&2
    exit 2
fi
dest=$1 launcher=$2 prep_x86=$3 prep_x64=$4 variant=${5:-}
here=$(cd "$(dirname "$0")" && pwd)
inf=$here/../samples/quenusb.inf
# An empty stand-in for the package's signed catalog, which the INF names.
catalog=$here/../samples/quenusb.cat

rm -rf "$dest"
mkdir -p "$dest"
cp "$launcher" "$dest/DriverSetup.exe"
[ "$variant" = "--no-drive" ] && exit 0

mkdir -p "$dest/Drive/i386" "$dest/Drive/amd64" "$dest/Drive/Tavix/x86" "$dest/Drive/Tavix/amd64"
cp "$prep_x86" "$dest/Drive/i386/QZDrvPrep_x86.exe"
if [ "$variant" != "--without-x64" ]; then
    cp "$prep_x64" "$dest/Drive/amd64/QZDrvPrep_x64.exe"
fi
cp "$inf" "$dest/Drive/Tavix/x86/quenusb.inf"
cp "$inf" "$dest/Drive/Tavix/amd64/quenusb.inf"
cp "$catalog" "$dest/Drive/Tavix/x86/quenusb.cat"
cp "$catalog" "$dest/Drive/Tavix/amd64/quenusb.cat"
