#!/usr/bin/env bash
# Builds the release package build/release/DriverSetup-<version>-win32.zip: DriverSetup.exe,
# driversetup-check.exe, the two pre-installers QZDrvPrep_x86.exe and QZDrvPrep_x64.exe,
# README.txt (for the people who receive the media), LICENSE, CHANGELOG.md and SHA256SUMS,
# byte for byte the same from the same sources; and beside it driversetup_<version>_amd64.deb,
# the Linux tools with their manual pages and the same Windows programs. Given a certificate,
# it signs copies of the four programs with Authenticode (SHA-256, osslsigncode) and verifies
# them; the unsigned build is never touched.
set -euo pipefail

usage() {
    cat <<'EOF'
usage: scripts/release.sh [options]

Signing (optional; without a certificate the package holds the unsigned programs):
  --pkcs12 FILE          certificate chain and private key in one PKCS#12 file
  --cert PEM --key PEM   certificate (with its chain) and private key as PEM files
  --password-file FILE   password of the PKCS#12 file or of the key: the file's first line.
                         It is handed to osslsigncode as a file, never on a command line.
  --timestamp URL        RFC 3161 time-stamp server; repeat it to name fallbacks
  --ca FILE              CA certificates to verify the new signatures against
                         (default: the system's bundle, /etc/ssl/certs/ca-certificates.crt)
  --tsa-certs FILE --tsa-key FILE
                         time-stamp with this local time-stamping authority instead of a
                         server (for tests; nothing leaves the machine)
Building:
  --build-dir DIR        take the four programs from DIR instead of building the 'windows'
                         preset
  --out DIR              where the package goes (default: build/release)
  --help                 show this text

The same settings can come from the environment, for CI secrets (options win):
  DRIVERSETUP_SIGN_PKCS12, DRIVERSETUP_SIGN_CERT, DRIVERSETUP_SIGN_KEY,
  DRIVERSETUP_SIGN_PASSWORD_FILE, DRIVERSETUP_SIGN_TIMESTAMP (URLs separated by blanks),
  DRIVERSETUP_SIGN_CA.
SOURCE_DATE_EPOCH sets the time stamp of every file in the zip (default: the time of the
last commit).
EOF
}

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

die() {
    echo "release: error: $*" >&2
    exit 1
}
trap 'echo "release: error: \"$BASH_COMMAND\" failed (line $LINENO); no package was made" >&2' ERR

pkcs12=${DRIVERSETUP_SIGN_PKCS12:-}
cert=${DRIVERSETUP_SIGN_CERT:-}
key=${DRIVERSETUP_SIGN_KEY:-}
password_file=${DRIVERSETUP_SIGN_PASSWORD_FILE:-}
ca=${DRIVERSETUP_SIGN_CA:-}
read -r -a timestamps <<<"${DRIVERSETUP_SIGN_TIMESTAMP:-}"
tsa_certs=
tsa_key=
build_dir=
out=$root/build/release
option_timestamps=()

while [ $# -gt 0 ]; do
    case $1 in
    --pkcs12 | --cert | --key | --password-file | --timestamp | --ca | --tsa-certs | --tsa-key | \
        --build-dir | --out)
        [ $# -ge 2 ] || die "$1 needs a value"
        case $1 in
        --pkcs12) pkcs12=$2 ;;
        --cert) cert=$2 ;;
        --key) key=$2 ;;
        --password-file) password_file=$2 ;;
        --timestamp) option_timestamps+=("$2") ;;
        --ca) ca=$2 ;;
        --tsa-certs) tsa_certs=$2 ;;
        --tsa-key) tsa_key=$2 ;;
        --build-dir) build_dir=$2 ;;
        --out) out=$2 ;;
        esac
        shift 2
        ;;
    --help | -h)
        usage
        exit 0
        ;;
    *)
        usage >&2
        die "unknown argument $1"
        ;;
    esac
done
[ ${#option_timestamps[@]} -eq 0 ] || timestamps=("${option_timestamps[@]}")

# What signing was asked for; every inconsistent request stops here, before anything is built.
signing=no
if [ -n "$pkcs12" ]; then
    [ -z "$cert$key" ] || die "give either --pkcs12 or --cert with --key, not both"
    signing=yes
elif [ -n "$cert$key" ]; then
    [ -n "$cert" ] && [ -n "$key" ] || die "--cert and --key go together"
    signing=yes
fi
if [ "$signing" = no ] &&
    { [ -n "$password_file$ca$tsa_certs$tsa_key" ] || [ ${#timestamps[@]} -gt 0 ]; }; then
    die "--password-file, --timestamp, --ca and --tsa-* need a certificate (--pkcs12 or --cert/--key)"
fi
if { [ -n "$tsa_certs" ] && [ -z "$tsa_key" ]; } || { [ -z "$tsa_certs" ] && [ -n "$tsa_key" ]; }; then
    die "--tsa-certs and --tsa-key go together"
fi
if [ -n "$tsa_certs" ] && [ ${#timestamps[@]} -gt 0 ]; then
    die "give --timestamp or --tsa-certs, not both"
fi
for file in "$pkcs12" "$cert" "$key" "$password_file" "$ca" "$tsa_certs" "$tsa_key"; do
    [ -z "$file" ] || [ -r "$file" ] || die "cannot read $file"
done
[ -n "$ca" ] || ca=/etc/ssl/certs/ca-certificates.crt
# Debian 12's own osslsigncode (2.5) has no built-in time-stamping authority; newer ones do.
if [ -n "$tsa_certs" ] && ! grep -q -- '-TSA-certs' <<<"$(osslsigncode --help 2>&1 || true)"; then
    die "this osslsigncode ($(osslsigncode --version 2>&1 | sed '1!d; s/,.*//')) cannot time-stamp" \
        "locally (-TSA-certs); use --timestamp URL, or a newer osslsigncode (bookworm-backports)"
fi

version=$(sed -n 's/^project(DriverSetup VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
[ -n "$version" ] || die "no version in CMakeLists.txt's project()"
package=DriverSetup-$version-win32
programs=(DriverSetup.exe driversetup-check.exe QZDrvPrep_x86.exe QZDrvPrep_x64.exe)
documents=(README.txt LICENSE CHANGELOG.md)

if [ -z "$build_dir" ]; then
    scripts/install-deps.sh release >&2
    echo "release: building the 'windows' preset" >&2
    cmake --preset windows >/dev/null
    cmake --build --preset windows --target DriverSetup driversetup-check QZDrvPrep_x86 QZDrvPrep_x64 \
        >/dev/null
    build_dir=$root/build/windows
fi
for program in "${programs[@]}"; do
    [ -f "$build_dir/$program" ] || die "$build_dir/$program is missing; build the 'windows' preset"
done

# Every entry gets this time, so that the zip depends on the sources alone.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || true)
fi
# The zip format cannot store times before 1980.
readonly kZipEpochFloor=315532800
epoch=${SOURCE_DATE_EPOCH:-$kZipEpochFloor}
[[ $epoch =~ ^[0-9]+$ ]] || die "SOURCE_DATE_EPOCH must be a number of seconds, not '$epoch'"
[ "$epoch" -ge "$kZipEpochFloor" ] || epoch=$kZipEpochFloor

mkdir -p "$out"
out=$(cd "$out" && pwd)
stage=$out/$package
zip_file=$out/$package.zip
rm -rf "$stage" "$zip_file"
mkdir -p "$stage"

# sign_copy PROGRAM: signs build_dir's PROGRAM into the staging folder and verifies it there.
sign_copy() {
    local program=$1
    local credentials=()
    if [ -n "$pkcs12" ]; then
        credentials=(-pkcs12 "$pkcs12")
    else
        credentials=(-certs "$cert" -key "$key")
    fi
    [ -z "$password_file" ] || credentials+=(-readpass "$password_file")
    local stamping=()
    local url
    for url in "${timestamps[@]}"; do
        stamping+=(-ts "$url")
    done
    [ -z "$tsa_certs" ] || stamping=(-TSA-certs "$tsa_certs" -TSA-key "$tsa_key")
    osslsigncode sign "${credentials[@]}" -h sha256 -n "DriverSetup $version" \
        "${stamping[@]}" -in "$build_dir/$program" -out "$stage/$program" >"$out/sign.log" 2>&1 ||
        { cat "$out/sign.log" >&2 && rm -rf "$stage" && die "signing $program failed (above)"; }
    local verifying=(-CAfile "$ca")
    if [ -n "$tsa_certs" ] || [ ${#timestamps[@]} -gt 0 ]; then
        verifying+=(-TSA-CAfile "$ca")
    fi
    osslsigncode verify "${verifying[@]}" -in "$stage/$program" >"$out/verify.log" 2>&1 ||
        { cat "$out/verify.log" >&2 && rm -rf "$stage" &&
            die "the new signature of $program does not verify against $ca (above); pass the CA with --ca"; }
    rm -f "$out/sign.log" "$out/verify.log"
}

for program in "${programs[@]}"; do
    if [ "$signing" = yes ]; then
        sign_copy "$program"
    else
        cp "$build_dir/$program" "$stage/$program"
    fi
done
# The media's README is for end users; the repository's is for distributors.
cp docs/release-README.txt "$stage/README.txt"
for document in "${documents[@]:1}"; do
    cp "$document" "$stage/$document"
done
files=("${programs[@]}" "${documents[@]}")
(cd "$stage" && sha256sum "${files[@]}" >SHA256SUMS)
files+=(SHA256SUMS)

# Fixed modes and times, then a zip without extra fields or folder entries, in a fixed order.
(cd "$stage" && chmod 644 "${files[@]}" && touch -d "@$epoch" "${files[@]}" &&
    TZ=UTC zip -X -D -q "$zip_file" "${files[@]}")

# The Debian package of the Linux tools and their manual pages, with the same Windows programs
# as the zip, from a Linux tree of its own beside the Windows build (kept, so that the next
# release only relinks what changed).
deb_tree=$build_dir/debian-package
cmake -S "$root" -B "$deb_tree" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DDRIVERSETUP_WINDOWS_PROGRAMS="$stage" >"$out/deb.log" 2>&1
cmake --build "$deb_tree" --target driversetup-catalog driversetup-check man_pages \
    debian_changelog >>"$out/deb.log" 2>&1
rm -f "$deb_tree"/*.deb
(cd "$deb_tree" && SOURCE_DATE_EPOCH=$epoch cpack -G DEB >>"$out/deb.log" 2>&1)
deb_file=$out/driversetup_${version}_amd64.deb
mv "$deb_tree/driversetup_${version}_amd64.deb" "$deb_file"
rm -f "$out/deb.log"

trap - ERR
if [ "$signing" = yes ]; then
    if [ -n "$tsa_certs" ]; then
        stamped="time-stamped by the local authority $tsa_certs"
    elif [ ${#timestamps[@]} -gt 0 ]; then
        stamped="time-stamped by ${timestamps[*]}"
    else
        stamped="not time-stamped: the signature lapses with the certificate"
    fi
    signed="yes: Authenticode SHA-256, verified against $ca, $stamped"
else
    signed="no (give --pkcs12 or --cert/--key to sign)"
fi
echo "release: made $zip_file"
echo "    size    : $(stat -c %s "$zip_file") bytes"
echo "    sha256  : $(sha256sum "$zip_file" | cut -d' ' -f1)"
echo "    holds   : ${files[*]} (also unpacked in $stage)"
echo "    signed  : $signed"
echo "    file times: $(TZ=UTC date -d "@$epoch" '+%Y-%m-%d %H:%M:%S UTC') (SOURCE_DATE_EPOCH=$epoch)"
echo "release: made $deb_file"
echo "    size    : $(stat -c %s "$deb_file") bytes"
echo "    sha256  : $(sha256sum "$deb_file" | cut -d' ' -f1)"
