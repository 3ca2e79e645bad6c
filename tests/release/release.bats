#!/usr/bin/env bats
# scripts/release.sh end to end against a throwaway PKI made here with openssl: the unsigned
# package is reproducible and its SHA256SUMS match; a signed package verifies against the
# throwaway CA (with a time stamp from a throwaway TSA where osslsigncode can make one), stops
# verifying when one byte changes, and gives back the unsigned bytes when the signature is
# removed; the password never reaches a command line; and every inconsistent or failing
# request ends without a package.
# Environment: BUILD_DIR, WORK_DIR, SIGNED_LAUNCHER_OUT (where the signed launcher is copied).

setup_file() {
    load "${BATS_TEST_DIRNAME}/../bats_helper"
    local here=$BATS_TEST_DIRNAME
    export release=$here/../../scripts/release.sh
    export version
    version=$(sed -n 's/^project(DriverSetup VERSION \([0-9.]*\) .*/\1/p' "$here/../../CMakeLists.txt")
    export zip_name=DriverSetup-$version-win32.zip
    export programs="DriverSetup.exe driversetup-check.exe QZDrvPrep_x86.exe QZDrvPrep_x64.exe"
    export expected_entries="$programs README.txt LICENSE CHANGELOG.md SHA256SUMS"
    export deb_name=driversetup_${version}_amd64.deb
    export work=$WORK_DIR pki=$WORK_DIR/pki
    export password='throwaway pass phrase 7341'
    rm -rf "$work"
    mkdir -p "$pki" "$(dirname "$SIGNED_LAUNCHER_OUT")"
    (cd "$BUILD_DIR" && sha256sum $programs) >"$work/before.sums"
    # A CA, a code-signing certificate, and a TSA whose certificate carries the critical
    # timeStamping usage that RFC 3161 asks for.
    (
        set -e
        cd "$pki"
        pki_root . ca "/CN=Throwaway Test CA"
        common=("basicConstraints=CA:FALSE" "keyUsage=critical,digitalSignature")
        pki_issue . sign "/CN=Throwaway sign" ca "${common[@]}" "extendedKeyUsage=codeSigning"
        pki_issue . tsa "/CN=Throwaway tsa" ca "${common[@]}" \
            "extendedKeyUsage=critical,timeStamping"
        cat tsa.pem ca.pem >tsa-chain.pem
        cat sign.pem ca.pem >sign-chain.pem
        printf '%s\n' "$password" >password
        printf 'wrong\n' >wrong-password
        openssl pkcs12 -export -inkey sign.key -in sign.pem -certfile ca.pem -out sign.p12 \
            -passout file:password
    ) >"$work/pki.log" 2>&1
}

setup() {
    load "${BATS_TEST_DIRNAME}/../bats_helper"
    [ -f "$pki/sign.p12" ] || fail "throwaway PKI not made: $(cat "$work/pki.log")"
}

# release_to OUT [ARG...]: runs the release script into OUT, its output into OUT.log.
release_to() {
    local out=$1
    shift
    bash "$release" --build-dir "$BUILD_DIR" --out "$out" "$@" >"$out.log" 2>&1
}

entries() { unzip -Z1 "$1" | paste -sd' '; }

# check WHAT COMMAND...: fails the case, naming WHAT and the logs, unless COMMAND succeeds.
check() {
    local what=$1
    shift
    "$@" || fail "failed: $what; logs: $(tail -n 20 "$work"/*.log 2>/dev/null)"
}

@test "unsigned package is reproducible, complete and honest about its sums" {
    release_to "$work/a"
    check "unsigned release succeeds" test -f "$work/a/$zip_name"
    check "it says it is not signed" grep -q 'signed  : no' "$work/a.log"
    sleep 1 # a second run at another wall-clock time must not change a byte
    release_to "$work/b"
    check "two unsigned packages are identical" cmp -s "$work/a/$zip_name" "$work/b/$zip_name"
    check "two Debian packages are identical" cmp -s "$work/a/$deb_name" "$work/b/$deb_name"
    expect_equal "entries in the fixed order" "$(entries "$work/a/$zip_name")" "$expected_entries"
    mkdir -p "$work/unpacked"
    (cd "$work/unpacked" && unzip -q "$work/a/$zip_name")
    check "SHA256SUMS matches the contents" bash -c 'cd "$1" && sha256sum --quiet -c SHA256SUMS' - \
        "$work/unpacked"
    expect_equal "SHA256SUMS names every other file" \
        "$(cut -d' ' -f3 "$work/unpacked/SHA256SUMS" | paste -sd' ')" "${expected_entries% SHA256SUMS}"
    local program
    for program in $programs; do
        check "unsigned $program is the build's" cmp -s "$BUILD_DIR/$program" "$work/unpacked/$program"
    done
    SOURCE_DATE_EPOCH=1700000000 release_to "$work/epoch"
    expect_equal "SOURCE_DATE_EPOCH sets the entry times" \
        "$(unzip -Z -T "$work/epoch/$zip_name" | grep -c " 20231114\.221320 ")" \
        "$(wc -w <<<"$expected_entries")"
}

# What the Debian package must hold, in dpkg-deb's order, directories left out.
deb_files="./usr/bin/driversetup-catalog
./usr/bin/driversetup-check
./usr/share/doc/driversetup/changelog.gz
./usr/share/doc/driversetup/copyright
./usr/share/driversetup/windows/DriverSetup.exe
./usr/share/driversetup/windows/QZDrvPrep_x64.exe
./usr/share/driversetup/windows/QZDrvPrep_x86.exe
./usr/share/driversetup/windows/driversetup-check.exe
./usr/share/man/man1/driversetup-catalog.1.gz
./usr/share/man/man1/driversetup-check.1.gz"

@test "the Debian package holds the tools, their pages and the programs, and lintian passes it" {
    release_to "$work/deb"
    local deb=$work/deb/$deb_name tree=$work/deb-tree page program
    check "the release makes $deb_name" test -f "$deb"
    expect_equal "the package's files" \
        "$(dpkg-deb -c "$deb" | awk '$6 !~ /\/$/ { print $6 }' | sort)" "$deb_files"
    run lintian --fail-on error "$deb"
    expect_equal "lintian's exit: $output" "$status" 0
    expect_equal "lintian's errors" "$(grep -c '^E: ' <<<"$output" || true)" 0
    check "its dependencies are computed" bash -c 'dpkg-deb -f "$1" Depends | grep -q libssl3' - "$deb"
    dpkg-deb -x "$deb" "$tree"
    for program in $programs; do
        check "$program is the release's" cmp -s "$work/deb/${zip_name%.zip}/$program" \
            "$tree/usr/share/driversetup/windows/$program"
    done
    run "$tree/usr/bin/driversetup-catalog" --version
    expect_equal "the catalog tool's version" "$output" "driversetup-catalog $version"
    run "$tree/usr/bin/driversetup-check" --version
    expect_equal "the checker's version" "$output" "driversetup-check $version"
    run "$tree/usr/bin/driversetup-catalog" verify "$BUILD_DIR/sample-package/amd64/quenusb.inf"
    expect_equal "verify on the sample package: $output" "$status" 0
    for page in driversetup-catalog driversetup-check; do
        run man -l "$tree/usr/share/man/man1/$page.1.gz"
        expect_equal "man -l $page: $output" "$status" 0
        expect_contains "$page's page" "$output" "EXIT STATUS"
    done
}

@test "signed from PKCS#12 verifies, fails when changed and gives back the build" {
    # A stand-in first on PATH records every osslsigncode command line, then runs the real one.
    mkdir -p "$work/shim"
    local real_osslsigncode
    real_osslsigncode=$(command -v osslsigncode)
    printf '#!/usr/bin/env bash\nprintf "%%s\\n" "$*" >>"%s"\nexec "%s" "$@"\n' \
        "$work/osslsigncode-calls" "$real_osslsigncode" >"$work/shim/osslsigncode"
    chmod +x "$work/shim/osslsigncode"

    # The built-in time-stamping authority came after Debian 12's osslsigncode 2.5; with that
    # version the package is signed without a time stamp and --tsa-certs must be refused.
    local local_tsa=(--tsa-certs "$pki/tsa-chain.pem" --tsa-key "$pki/tsa.key") stamping stamped_text
    # Read whole first: grep -q ending a pipe early would fail it under pipefail.
    if grep -q -- '-TSA-certs' <<<"$(osslsigncode --help 2>&1 || true)"; then
        stamping=("${local_tsa[@]}")
        stamped_text='signed  : yes: .*, time-stamped'
    else
        echo "note: osslsigncode cannot time-stamp locally; signing is tested without a time stamp"
        stamping=()
        stamped_text='signed  : yes: .*not time-stamped'
        release_to "$work/no-tsa" --pkcs12 "$pki/sign.p12" --password-file "$pki/password" \
            --ca "$pki/ca.pem" "${local_tsa[@]}" || true
        check "a local TSA is refused where osslsigncode lacks it" \
            grep -q 'cannot time-stamp locally' "$work/no-tsa.log"
    fi

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
    local program signed
    for program in $programs; do
        signed=$work/signed-unpacked/$program
        check "$program verifies against the throwaway CA" osslsigncode verify -CAfile "$pki/ca.pem" \
            -TSA-CAfile "$pki/ca.pem" -in "$signed" >"$work/verify.log" 2>&1
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
            cmp -s "$work/unsigned.exe" "$BUILD_DIR/$program"
    done
    cp "$work/signed-unpacked/DriverSetup.exe" "$SIGNED_LAUNCHER_OUT"
}

@test "signed from PEM files named in the environment, as CI secrets would be" {
    DRIVERSETUP_SIGN_CERT=$pki/sign-chain.pem DRIVERSETUP_SIGN_KEY=$pki/sign.key \
        DRIVERSETUP_SIGN_CA=$pki/ca.pem release_to "$work/env"
    check "signing from the environment succeeds" grep -q 'signed  : yes' "$work/env.log"
    check "without a time stamp it says so" grep -q 'not time-stamped' "$work/env.log"
}

# fails_without_package TEXT ARG...: the request fails, says TEXT and leaves no package.
fails_without_package() {
    local text=$1 out=$work/failing status=0
    shift
    rm -rf "$out" && mkdir -p "$out"
    release_to "$out" "$@" || status=$?
    check "fails" test "$status" -ne 0
    check "says why ($text)" grep -qF -- "$text" "$out.log"
    check "leaves no package" test ! -e "$out/$zip_name"
}

@test "wrong password" {
    fails_without_package "signing DriverSetup.exe failed" --pkcs12 "$pki/sign.p12" \
        --password-file "$pki/wrong-password" --ca "$pki/ca.pem"
}

@test "wrong CA" {
    fails_without_package "does not verify" --pkcs12 "$pki/sign.p12" \
        --password-file "$pki/password" --ca "$pki/tsa.pem"
}

@test "cert without key" {
    fails_without_package "--cert and --key go together" --cert "$pki/sign.pem"
}

@test "both kinds of credentials" {
    fails_without_package "not both" --pkcs12 "$pki/sign.p12" --cert "$pki/sign.pem" \
        --key "$pki/sign.key"
}

@test "time stamp without a certificate" {
    fails_without_package "need a certificate" --timestamp http://tsa.invalid
}

@test "unreadable credentials" {
    fails_without_package "cannot read" --pkcs12 "$pki/nowhere.p12"
}

@test "unknown option" {
    fails_without_package "unknown argument --sign" --sign
}

@test "the unsigned build was not touched" {
    expect_equal "the build's sums" "$(cd "$BUILD_DIR" && sha256sum $programs)" "$(cat "$work/before.sums")"
}
