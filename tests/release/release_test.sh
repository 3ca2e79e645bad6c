#!/usr/bin/env bash
# Checks scripts/release.sh end to end against a throwaway PKI made here with openssl: the
# unsigned package is reproducible and its SHA256SUMS match; a signed package verifies against
# the throwaway CA with a time stamp from a throwaway TSA, stops verifying when one byte
# changes, and gives back the unsigned bytes when the signature is removed; the password never
# reaches a command line; and every inconsistent or failing request ends without a package.
# Usage: release_test.sh BUILD_DIR WORK_DIR SIGNED_LAUNCHER_OUT
set -uo pipefail

build=$1 work=$2 signed_launcher_out=$3
here=$(cd "$(dirname "$0")" && pwd)
release=$here/../../scripts/release.sh
version=$(sed -n 's/^project(DriverSetup VERSION \([0-9.]*\) .*/\1/p' "$here/../../CMakeLists.txt")
zip_name=DriverSetup-$version-win32.zip
programs=(DriverSetup.exe driversetup-check.exe QZDrvPrep_x86.exe QZDrvPrep_x64.exe)
expected_entries="DriverSetup.exe driversetup-check.exe QZDrvPrep_x86.exe QZDrvPrep_x64.exe README.md LICENSE CHANGELOG.md SHA256SUMS"

rm -rf "$work"
mkdir -p "$work" "$(dirname "$signed_launcher_out")"
failures=0
check() {
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; else echo "FAIL: $what" >&2 && failures=$((failures + 1)); fi
}
release_to() {
    local out=$1
    shift
    bash "$release" --build-dir "$build" --out "$out" "$@" >"$out.log" 2>&1
}
entries() { unzip -Z1 "$1" | paste -sd' '; }

before=$(sha256sum "${programs[@]/#/$build/}")

# --- Unsigned: reproducible, complete, and honest about its sums.
release_to "$work/a"
check "unsigned release succeeds" test -f "$work/a/$zip_name"
check "it says it is not signed" grep -q 'signed  : no' "$work/a.log"
sleep 1  # a second run at another wall-clock time must not change a byte
release_to "$work/b"
check "two unsigned packages are identical" cmp -s "$work/a/$zip_name" "$work/b/$zip_name"
check "entries in the fixed order" test "$(entries "$work/a/$zip_name")" = "$expected_entries"
mkdir -p "$work/unpacked"
(cd "$work/unpacked" && unzip -q "$work/a/$zip_name")
check "SHA256SUMS matches the contents" bash -c 'cd "$1" && sha256sum --quiet -c SHA256SUMS' - \
    "$work/unpacked"
check "SHA256SUMS names every other file" \
    test "$(cut -d' ' -f3 "$work/unpacked/SHA256SUMS" | paste -sd' ')" = \
    "${expected_entries% SHA256SUMS}"
for program in "${programs[@]}"; do
    check "unsigned $program is the build's" cmp -s "$build/$program" "$work/unpacked/$program"
done
SOURCE_DATE_EPOCH=1700000000 release_to "$work/epoch"
check "SOURCE_DATE_EPOCH sets the entry times" \
    bash -c 'unzip -Z -T "$1" | grep -c " 20231114\.221320 " | grep -qx "$2"' - "$work/epoch/$zip_name" \
    "$(wc -w <<<"$expected_entries")"

# --- A throwaway PKI: CA, code-signing certificate, and a TSA whose certificate carries the
# critical timeStamping usage that RFC 3161 asks for.
pki=$work/pki
mkdir -p "$pki"
password='throwaway pass phrase 7341'
(
    set -e
    cd "$pki"
    openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 \
        -subj "/CN=Throwaway Test CA" -addext "basicConstraints=critical,CA:TRUE" \
        -addext "keyUsage=critical,keyCertSign,cRLSign"
    printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n' >common.ext
    { cat common.ext && echo 'extendedKeyUsage=codeSigning'; } >sign.ext
    { cat common.ext && echo 'extendedKeyUsage=critical,timeStamping'; } >tsa.ext
    for name in sign tsa; do
        openssl req -newkey rsa:2048 -nodes -keyout $name.key -out $name.csr \
            -subj "/CN=Throwaway $name"
        openssl x509 -req -in $name.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out $name.pem \
            -days 2 -extfile $name.ext
    done
    cat tsa.pem ca.pem >tsa-chain.pem
    cat sign.pem ca.pem >sign-chain.pem
    printf '%s\n' "$password" >password
    openssl pkcs12 -export -inkey sign.key -in sign.pem -certfile ca.pem -out sign.p12 \
        -passout file:password
) >"$work/pki.log" 2>&1
check "throwaway PKI made" test -f "$pki/sign.p12"

# A stand-in first on PATH records every osslsigncode command line, then runs the real one.
mkdir -p "$work/shim"
real_osslsigncode=$(command -v osslsigncode)
cat >"$work/shim/osslsigncode" <<SHIM
#!/usr/bin/env bash
printf '%s\n' "\$*" >>"$work/osslsigncode-calls"
exec "$real_osslsigncode" "\$@"
SHIM
chmod +x "$work/shim/osslsigncode"

# The built-in time-stamping authority came after Debian 12's osslsigncode 2.5; with that
# version the package is signed without a time stamp and --tsa-certs must be refused.
local_tsa=(--tsa-certs "$pki/tsa-chain.pem" --tsa-key "$pki/tsa.key")
# Read whole first: grep -q ending a pipe early would fail it under pipefail.
if grep -q -- '-TSA-certs' <<<"$(osslsigncode --help 2>&1 || true)"; then
    stamping=("${local_tsa[@]}")
    stamped_text='signed  : yes: .*, time-stamped'
else
    echo "note: $(osslsigncode --version 2>&1 | sed '1!d; s/,.*//') cannot time-stamp locally;" \
        "signing is tested without a time stamp"
    stamping=()
    stamped_text='signed  : yes: .*not time-stamped'
    release_to "$work/no-tsa" --pkcs12 "$pki/sign.p12" --password-file "$pki/password" \
        --ca "$pki/ca.pem" "${local_tsa[@]}"
    check "a local TSA is refused where osslsigncode lacks it" \
        grep -q 'cannot time-stamp locally' "$work/no-tsa.log"
fi

# --- Signed from PKCS#12 with a password file and, where possible, a time stamp.
PATH="$work/shim:$PATH" release_to "$work/signed" --pkcs12 "$pki/sign.p12" \
    --password-file "$pki/password" --ca "$pki/ca.pem" "${stamping[@]}"
check "signed release succeeds" test -f "$work/signed/$zip_name"
check "it says whether it is time-stamped" grep -q "$stamped_text" "$work/signed.log"
check "osslsigncode was called" test -s "$work/osslsigncode-calls"
check "the password is on no command line" \
    bash -c '! grep -qF "$1" "$2"' - "$password" "$work/osslsigncode-calls"
mkdir -p "$work/signed-unpacked"
(cd "$work/signed-unpacked" && unzip -q "$work/signed/$zip_name")
check "signed SHA256SUMS matches the signed contents" \
    bash -c 'cd "$1" && sha256sum --quiet -c SHA256SUMS' - "$work/signed-unpacked"
for program in "${programs[@]}"; do
    signed=$work/signed-unpacked/$program
    osslsigncode verify -CAfile "$pki/ca.pem" -TSA-CAfile "$pki/ca.pem" -in "$signed" \
        >"$work/verify.log" 2>&1
    check "$program verifies against the throwaway CA" test $? -eq 0
    if [ ${#stamping[@]} -gt 0 ]; then
        check "$program carries a verified time stamp" \
            grep -q 'Timestamp Server Signature verification: ok' "$work/verify.log"
    fi
    # One byte inside the code, which the signature covers.
    cp "$signed" "$work/tampered.exe"
    printf '\x90' | dd of="$work/tampered.exe" bs=1 seek=1100 conv=notrunc status=none
    check "$program with one byte changed fails verification" bash -c \
        '! osslsigncode verify -CAfile "$1" -TSA-CAfile "$1" -in "$2" >/dev/null 2>&1' - \
        "$pki/ca.pem" "$work/tampered.exe"
    rm -f "$work/unsigned.exe"
    osslsigncode remove-signature -in "$signed" -out "$work/unsigned.exe" >/dev/null 2>&1
    check "$program without its signature is the unsigned build" \
        cmp -s "$work/unsigned.exe" "$build/$program"
done
cp "$work/signed-unpacked/DriverSetup.exe" "$signed_launcher_out"

# --- Signed from PEM files named in the environment, as CI secrets would be.
DRIVERSETUP_SIGN_CERT=$pki/sign-chain.pem DRIVERSETUP_SIGN_KEY=$pki/sign.key \
    DRIVERSETUP_SIGN_CA=$pki/ca.pem release_to "$work/env"
check "signing from the environment succeeds" grep -q 'signed  : yes' "$work/env.log"
check "without a time stamp it says so" grep -q 'not time-stamped' "$work/env.log"

# --- Requests that must fail loudly and leave no package.
printf 'wrong\n' >"$pki/wrong-password"
# name | arguments (blank-separated) | text the error must hold
failing=(
    "wrong password|--pkcs12 $pki/sign.p12 --password-file $pki/wrong-password --ca $pki/ca.pem|signing DriverSetup.exe failed"
    "wrong CA|--pkcs12 $pki/sign.p12 --password-file $pki/password --ca $pki/tsa.pem|does not verify"
    "cert without key|--cert $pki/sign.pem|--cert and --key go together"
    "both kinds of credentials|--pkcs12 $pki/sign.p12 --cert $pki/sign.pem --key $pki/sign.key|not both"
    "time stamp without a certificate|--timestamp http://tsa.invalid|need a certificate"
    "unreadable credentials|--pkcs12 $pki/nowhere.p12|cannot read"
    "unknown option|--sign|unknown argument --sign"
)
for row in "${failing[@]}"; do
    IFS='|' read -r name args text <<<"$row"
    out=$work/failing
    rm -rf "$out" && mkdir -p "$out"
    # shellcheck disable=SC2086
    release_to "$out" $args
    status=$?
    check "$name: fails" test "$status" -ne 0
    check "$name: says why" grep -qF -- "$text" "$out.log"
    check "$name: leaves no package" test ! -e "$out/$zip_name"
done

check "the unsigned build was not touched" test "$(sha256sum "${programs[@]/#/$build/}")" = "$before"

if [ "$failures" -ne 0 ]; then
    for log in "$work"/*.log; do echo "--- $log" && cat "$log"; done >&2
fi
echo "$failures failed"
[ "$failures" -eq 0 ]
