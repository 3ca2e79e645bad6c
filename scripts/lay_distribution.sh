#!/usr/bin/env bash
# Lays out a driver distribution folder as the launcher expects it, with the given launcher
# and pre-installers (the real builds or the recording stand-ins).
set -euo pipefail

usage() {
    cat <<'USAGE'
Usage: DRIVERSETUP_SAMPLE_PACKAGE=DIR lay_distribution.sh DEST LAUNCHER_EXE PREP_X86 PREP_X64
           [--without-x64|--no-drive]
DIR is the sample package a build makes (build/<preset>/sample-package), whose x86 and
amd64 folders each hold quenusb.inf and its catalog quenusb.cat. Lays:
  DEST/DriverSetup.exe
  DEST/Drive/i386/QZDrvPrep_x86.exe    DEST/Drive/Tavix/x86/quenusb.inf (and .cat)
  DEST/Drive/amd64/QZDrvPrep_x64.exe   DEST/Drive/Tavix/amd64/quenusb.inf (and .cat)
  --without-x64  leaves out the 64-bit pre-installer (a damaged distribution)
  --no-drive     lays only the launcher, with no Drive tree at all
USAGE
}

if [ $# -lt 4 ] || [ -z "${DRIVERSETUP_SAMPLE_PACKAGE:-}" ]; then
    usage >&2
    exit 2
fi
dest=$1 launcher=$2 prep_x86=$3 prep_x64=$4 variant=${5:-}
package=$DRIVERSETUP_SAMPLE_PACKAGE
for folder in x86 amd64; do
    for file in quenusb.inf quenusb.cat; do
        if [ ! -f "$package/$folder/$file" ]; then
            echo "lay_distribution: $package/$folder/$file is missing; build the sample_package target" >&2
            exit 2
        fi
    done
done

rm -rf "$dest"
mkdir -p "$dest"
cp "$launcher" "$dest/DriverSetup.exe"
[ "$variant" = "--no-drive" ] && exit 0

mkdir -p "$dest/Drive/i386" "$dest/Drive/amd64" "$dest/Drive/Tavix/x86" "$dest/Drive/Tavix/amd64"
cp "$prep_x86" "$dest/Drive/i386/QZDrvPrep_x86.exe"
if [ "$variant" != "--without-x64" ]; then
    cp "$prep_x64" "$dest/Drive/amd64/QZDrvPrep_x64.exe"
fi
cp "$package/x86/quenusb.inf" "$package/x86/quenusb.cat" "$dest/Drive/Tavix/x86/"
cp "$package/amd64/quenusb.inf" "$package/amd64/quenusb.cat" "$dest/Drive/Tavix/amd64/"
