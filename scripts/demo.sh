#!/usr/bin/env bash
# The main job on a built-in sample: builds DriverSetup.exe, driversetup-check.exe, the
# pre-installers and the sample package with its catalogs, lays a sample driver distribution
# folder under build/sample/, signs its catalogs with a certificate made here and now, checks
# the folder, runs the launcher there under Wine as 64-bit and as 32-bit Windows, and shows
# what the pre-installer it started did: the driver package staged into Windows' INF folder,
# its exit code and its log. Last, it edits an INF after signing and shows the checker's
# finding.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

step() { printf '\n==> %s\n' "$*"; }

step "Checking the Debian packages for the Windows build, Wine and signing"
scripts/install-deps.sh release

step "Building DriverSetup.exe, driversetup-check.exe and the pre-installers (preset 'windows')"
cmake --preset windows >/dev/null
cmake --build --preset windows

build=$root/build/windows
sample=$root/build/sample
dist=$sample/distribution

step "Laying the sample distribution folder $dist"
export DRIVERSETUP_SAMPLE_PACKAGE=$build/sample-package
scripts/lay_distribution.sh "$dist" "$build/DriverSetup.exe" \
    "$build/QZDrvPrep_x86.exe" "$build/QZDrvPrep_x64.exe"
(cd "$dist" && find . -type f | sort | sed 's/^\.\//    /')

catalog_tool=$build/host-tools/driversetup-catalog
pki=$sample/pki
step "Signing the catalogs with a throwaway certificate made now in $pki (never ship it)"
rm -rf "$pki"
mkdir -p "$pki"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$pki/key.pem" -out "$pki/cert.pem" -days 2 \
    -subj "/CN=Throwaway Demo Signer/O=DriverSetup demo" -addext "extendedKeyUsage=codeSigning" \
    >"$pki/log" 2>&1
for folder in x86 amd64; do
    catalog=$dist/Drive/Tavix/$folder/quenusb.cat
    osslsigncode sign -certs "$pki/cert.pem" -key "$pki/key.pem" -in "$catalog" \
        -out "$catalog.signed" >/dev/null
    mv "$catalog.signed" "$catalog"
done
"$catalog_tool" list "$dist/Drive/Tavix/amd64/quenusb.cat" | sed 's/^/    /'
"$catalog_tool" verify "$dist/Drive/Tavix/amd64/quenusb.inf" | sed 's/^/    /'

# The Wine part runs where Wine can run 32-bit programs: here, or in the emulated guest.
scripts/with-wine.sh bash scripts/demo-wine.sh "$build" "$sample" || exit 1

step "One failure: the 64-bit INF edited after its catalog was signed"
tampered=$sample/tampered
rm -rf "$tampered"
cp -r "$dist" "$tampered"
echo "; edited after signing" >>"$tampered/Drive/Tavix/amd64/quenusb.inf"
set +e
"$build/host-tools/driversetup-check" "$tampered" | grep -E '^(error|summary)' | sed 's/^/    /'
check_status=${PIPESTATUS[0]}
set -e
echo "    checker exit code  : $check_status (1: the folder is not ready)"

step "Done"
echo "    distributable exe  : $build/DriverSetup.exe ($(stat -c %s "$build/DriverSetup.exe") bytes)"
echo "    pre-installers     : $build/QZDrvPrep_x86.exe ($(stat -c %s "$build/QZDrvPrep_x86.exe") bytes), $build/QZDrvPrep_x64.exe ($(stat -c %s "$build/QZDrvPrep_x64.exe") bytes)"
echo "    folder checker     : $build/driversetup-check.exe (for Linux: cmake --preset host, then build/host/driversetup-check)"
echo "    sample folder      : $dist (catalogs signed by a throwaway certificate)"
