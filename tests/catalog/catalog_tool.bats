#!/usr/bin/env bats
# driversetup-catalog end to end, checked against independent tools: openssl parses every
# catalog it makes, osslsigncode signs them and finds their PE members (one whose size is not a
# multiple of 8, one already signed); the same package gives the same bytes; and every bad
# package or catalog ends with its exit code, a message and no catalog written.
# Environment: CATALOG_TOOL, WRITE_PE.

setup_file() {
    load "${BATS_TEST_DIRNAME}/../bats_helper"
    export pki=$BATS_FILE_TMPDIR/pki
    pki_signer "$pki" signer "/CN=Throwaway Catalog Signer/O=Tests"
}

setup() {
    load "${BATS_TEST_DIRNAME}/../bats_helper"
    pkg=$BATS_TEST_TMPDIR/pkg
    lay_package "$pkg"
    export SOURCE_DATE_EPOCH=1700000000
}

# lay_package DIR: an INF that copies two drivers from sys\, one renamed: odd.sys, a PE whose
# size is not a multiple of 8, and signed.sys, a PE that osslsigncode has signed.
lay_package() {
    mkdir -p "$1/sys"
    "$WRITE_PE" x64-gui "$1/sys/odd.sys"
    printf 'abc' >>"$1/sys/odd.sys"
    "$WRITE_PE" x86-gui "$BATS_TEST_TMPDIR/unsigned.exe"
    osslsigncode sign -certs "$pki/signer.pem" -key "$pki/signer.key" -in "$BATS_TEST_TMPDIR/unsigned.exe" \
        -out "$1/sys/signed.sys" >/dev/null
    cat >"$1/pkg.inf" <<'INF'
[Version]
Signature="$Windows NT$"
Class=USB
CatalogFile=pkg.cat

[SourceDisksNames]
1 = %Disk%,,,\sys

[SourceDisksFiles]
odd.sys = 1
signed.sys = 1

[Manufacturer]
%Vendor%=Models,NTamd64

[Models.NTamd64]
%Desc%=Inst, USB\VID_F055&PID_0A11

[Inst.NTamd64]
CopyFiles=Files

[Files]
Odd.SYS
renamed.sys,signed.sys

[Strings]
Vendor="Sample"
Desc="Sample device"
Disk="Disk 1"
INF
}

# make_fails TEXT [ARG...]: make exits with 1, says TEXT, and writes no catalog.
make_fails() {
    local text=$1
    shift
    run "$CATALOG_TOOL" make "$@" "$pkg/pkg.inf"
    expect_equal "exit code" "$status" 1
    expect_contains "message" "$output" "$text"
    [ ! -e "$pkg/pkg.cat" ] || fail "a catalog was written"
    [ -z "$(find "$pkg" -name '*.partial')" ] || fail "a partial file was left"
}

@test "openssl parses the catalog and osslsigncode signs it" {
    run "$CATALOG_TOOL" make "$pkg/pkg.inf"
    expect_equal "make" "$status" 0
    openssl asn1parse -inform DER -in "$pkg/pkg.cat" >/dev/null || fail "openssl cannot parse it"
    osslsigncode sign -certs "$pki/signer.pem" -key "$pki/signer.key" -in "$pkg/pkg.cat" \
        -out "$pkg/signed.cat" >/dev/null || fail "osslsigncode cannot sign it"
    run "$CATALOG_TOOL" list "$pkg/signed.cat"
    expect_contains "list" "$output" "signer: CN = Throwaway Catalog Signer, O = Tests"
    run "$CATALOG_TOOL" verify "$pkg/pkg.inf" "$pkg/signed.cat"
    expect_contains "verify" "$output" "signed by Throwaway Catalog Signer,"
    run "$CATALOG_TOOL" list "$pkg/signed.cat"
    expect_contains "list" "$output" "attribute: HWID1 = usb\\vid_f055&pid_0a11"
    expect_contains "list" "$output" "renamed.sys"
}

# osslsigncode_finds VERSION_ARGS: osslsigncode verify finds both PE files in the signed catalog.
osslsigncode_finds() {
    "$CATALOG_TOOL" make "$@" -o "$pkg/pkg.cat" "$pkg/pkg.inf" >/dev/null
    osslsigncode sign -certs "$pki/signer.pem" -key "$pki/signer.key" -in "$pkg/pkg.cat" \
        -out "$pkg/signed.cat" >/dev/null
    local file
    for file in odd.sys signed.sys; do
        run osslsigncode verify -CAfile "$pki/signer.pem" -catalog "$pkg/signed.cat" -in "$pkg/sys/$file"
        expect_equal "osslsigncode verify -catalog for $file ($output)" "$status" 0
    done
}

@test "osslsigncode finds the PE members of a v1 catalog" {
    osslsigncode_finds
}

@test "osslsigncode finds the PE members of a v2 catalog" {
    osslsigncode_finds --sha256
}

@test "the same package gives the same bytes" {
    "$CATALOG_TOOL" make -o "$BATS_TEST_TMPDIR/one.cat" "$pkg/pkg.inf"
    "$CATALOG_TOOL" make -o "$BATS_TEST_TMPDIR/two.cat" "$pkg/pkg.inf"
    cmp "$BATS_TEST_TMPDIR/one.cat" "$BATS_TEST_TMPDIR/two.cat" || fail "two runs differ"
}

@test "verify: a matching package, an edited INF, a removed file, an unreadable catalog" {
    "$CATALOG_TOOL" make "$pkg/pkg.inf" >/dev/null
    run "$CATALOG_TOOL" verify "$pkg/pkg.inf"
    expect_equal "matching" "$status" 0
    expect_contains "summary" "$output" "all match"

    echo "; edited" >>"$pkg/pkg.inf"
    run "$CATALOG_TOOL" verify "$pkg/pkg.inf"
    expect_equal "INF edited" "$status" 1
    expect_contains "finding" "$output" "pkg.inf changed after pkg.cat was made: make the catalog again, then sign it"

    rm "$pkg/sys/odd.sys"
    run "$CATALOG_TOOL" verify "$pkg/pkg.inf"
    expect_equal "file removed" "$status" 1
    expect_contains "finding" "$output" "sys\\odd.sys (INF line 10) is missing from the package folder"

    : >"$pkg/pkg.cat"
    run "$CATALOG_TOOL" verify "$pkg/pkg.inf"
    expect_equal "empty catalog" "$status" 2
    expect_contains "message" "$output" "is empty"
}

@test "a file the INF names is missing" {
    rm "$pkg/sys/odd.sys"
    make_fails "sys\\odd.sys (INF line 10) is missing from the package folder"
}

@test "a parent folder in SourceDisksNames" {
    sed -i 's/^1 = %Disk%,,,\\sys$/1 = %Disk%,,,..\\sys/' "$pkg/pkg.inf"
    make_fails "leaves the package folder"
}

@test "a drive letter in SourceDisksFiles" {
    sed -i 's/^odd.sys = 1$/odd.sys = 1,C:\\Windows/' "$pkg/pkg.inf"
    make_fails "(INF line 10) its path 'C:\\Windows' names a drive letter"
}

@test "a UNC path in SourceDisksNames" {
    sed -i 's/^1 = %Disk%,,,\\sys$/1 = %Disk%,,,\\\\server\\share/' "$pkg/pkg.inf"
    make_fails "is a UNC path"
}

@test "a symbolic link that leads outside the package" {
    echo secret >"$BATS_TEST_TMPDIR/outside.sys"
    rm "$pkg/sys/odd.sys"
    ln -s "$BATS_TEST_TMPDIR/outside.sys" "$pkg/sys/odd.sys"
    make_fails "is a link that leads outside the package folder"
}

@test "a PE whose certificate table points outside the file" {
    # The x64 PE's certificate entry: optional header at 0x98, entry at +144.
    printf '\x00\x10\x00\x00\x00\x01\x00\x00' |
        dd of="$pkg/sys/odd.sys" bs=1 seek=$((0x98 + 144)) conv=notrunc status=none
    make_fails "certificate table (offset 4096, 256 bytes) lies outside the file"
}

@test "a UTF-16 INF with non-ASCII file names works" {
    mv "$pkg/sys/odd.sys" "$pkg/sys/pilote-été.sys"
    sed -i 's/^odd.sys = 1$/pilote-été.sys = 1/; s/^Odd.SYS$/pilote-été.sys/' "$pkg/pkg.inf"
    { printf '\xff\xfe' && iconv -f UTF-8 -t UTF-16LE "$pkg/pkg.inf"; } >"$pkg/utf16.inf"
    mv "$pkg/utf16.inf" "$pkg/pkg.inf"
    run "$CATALOG_TOOL" make "$pkg/pkg.inf"
    expect_equal "make" "$status" 0
    run "$CATALOG_TOOL" list "$pkg/pkg.cat"
    expect_contains "list" "$output" "pilote-été.sys"
    run "$CATALOG_TOOL" verify "$pkg/pkg.inf"
    expect_equal "verify" "$status" 0
}

@test "a CatalogFile that is a path writes nothing there" {
    sed -i 's|^CatalogFile=pkg.cat$|CatalogFile=../escaped.cat|' "$pkg/pkg.inf"
    run "$CATALOG_TOOL" make "$pkg/pkg.inf"
    expect_equal "exit code" "$status" 2
    expect_contains "message" "$output" "is a path, not a file name"
    [ -z "$(find "$BATS_TEST_TMPDIR" -name '*escaped.cat*')" ] || fail "a catalog was written"
}

@test "SHA-256 for a target older than Windows 8 is refused" {
    run "$CATALOG_TOOL" make --sha256 --os 7_X64,10_X64 "$pkg/pkg.inf"
    expect_equal "exit code" "$status" 2
    expect_contains "message" "$output" "7_X64 cannot read"
    [ ! -e "$pkg/pkg.cat" ] || fail "a catalog was written"
}

# list_refuses TEXT: list exits with 2 and says TEXT for the catalog at $pkg/bad.cat.
list_refuses() {
    run "$CATALOG_TOOL" list "$pkg/bad.cat"
    expect_equal "exit code" "$status" 2
    expect_contains "message" "$output" "$1"
}

@test "list: a 0-byte catalog" {
    : >"$pkg/bad.cat"
    list_refuses "is empty"
}

@test "list: a truncated catalog" {
    "$CATALOG_TOOL" make "$pkg/pkg.inf" >/dev/null
    head -c 300 "$pkg/pkg.cat" >"$pkg/bad.cat"
    list_refuses "past the end"
}

@test "list: garbage" {
    head -c 4096 /dev/urandom | tr '\060' '\061' >"$pkg/bad.cat"
    list_refuses "not a catalog"
}

@test "list: a file that is not there" {
    list_refuses "not found"
}

@test "list: a catalog in makecat's layout, made by openssl" {
    openssl asn1parse -genconf "$BATS_TEST_DIRNAME/makecat_shaped.cnf" -out "$pkg/makecat.cat" \
        -noout
    run "$CATALOG_TOOL" list "$pkg/makecat.cat"
    expect_equal "exit code" "$status" 0
    expect_equal "listing" "$output" "catalog: $pkg/makecat.cat, v1 (SHA-1), unsigned, time 080101000000Z, list 0123456789abcdef0123456789abcdef
attribute: attr2 = value2
attribute: attr1 = value1
member: a9993e364706816aba3e25717850c26c9cd0d89d sha1   flat   OSAttr "
}
