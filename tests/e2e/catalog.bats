#!/usr/bin/env bats
# Our catalogs as Windows' own catalog API reads them, under Wine: CryptCATOpen and
# CryptCATEnumerateMember decode every member of a v1 catalog of a package with the real
# pre-installers in it (its member info and indirect data, with crypt32's decoders) and list
# exactly our digests. Wine's reference tag is the indirect data's digest in upper-case hex,
# not the stored identifier, which verify and osslsigncode check instead; Wine reads v2
# catalogs as empty and checks no signature.
# And the Windows programs' own digests, with CNG, equal the Linux tool's for PE files (one
# whose size is not a multiple of 8) and flat ones.
# Environment: WINEPREFIX, E2E_WORK, CATALOG_TOOL, MEMBERS_EXE, DIGEST_EXE, PREP_X86, PREP_X64.

setup() {
    load "${BATS_TEST_DIRNAME}/../bats_helper"
    run_timeout=$((60 * ${DRIVERSETUP_TIMEOUT_SCALE:-1}))
}

# lay_package DIR: an INF naming both real pre-installers, one of them with three bytes more
# (so its size is not a multiple of 8), and a text file.
lay_package() {
    local pkg=$1
    rm -rf "$pkg"
    mkdir -p "$pkg/bin"
    cp "$PREP_X86" "$pkg/bin/prep_x86.exe"
    cp "$PREP_X64" "$pkg/bin/prep_x64.exe"
    printf 'abc' >>"$pkg/bin/prep_x64.exe"
    printf 'readme\r\n' >"$pkg/bin/readme.txt"
    cat >"$pkg/pkg.inf" <<'INF'
[Version]
Signature="$Windows NT$"
Class=USB
CatalogFile=pkg.cat
[SourceDisksNames]
1=d,,,bin
[SourceDisksFiles]
prep_x86.exe=1
prep_x64.exe=1
readme.txt=1
[Manufacturer]
M=Models,NTamd64
[Models.NTamd64]
D=I,USB\VID_F055&PID_0A11
INF
}

@test "windows_lists_our_v1_members" {
    local pkg=$E2E_WORK/catalog-members
    lay_package "$pkg"
    "$CATALOG_TOOL" make "$pkg/pkg.inf"
    # v1 tags are the SHA-1 digests in upper-case hex.
    local ours theirs
    ours=$("$CATALOG_TOOL" list "$pkg/pkg.cat" | sed -n 's/^member: \([0-9a-f]*\) .*/\1/p' |
        tr 'a-f' 'A-F' | sort)
    theirs=$(timeout "$run_timeout" wine "$MEMBERS_EXE" "$(wine_path "$pkg/pkg.cat")" |
        tr -d '\r' | sort)
    expect_equal "member count" "$(wc -l <<<"$ours")" 4
    expect_equal "members as Windows' catalog API lists them" "$theirs" "$ours"
}

@test "windows_digests_equal_ours" {
    local pkg=$E2E_WORK/catalog-digests
    lay_package "$pkg"
    "$CATALOG_TOOL" make --sha256 --os 10_X64 "$pkg/pkg.inf"
    local listing file sha1 sha256 kind name
    listing=$("$CATALOG_TOOL" list "$pkg/pkg.cat")
    for file in pkg.inf bin/prep_x86.exe bin/prep_x64.exe bin/readme.txt; do
        read -r sha1 sha256 kind name < <(timeout "$run_timeout" wine "$DIGEST_EXE" \
            "$(wine_path "$pkg/$file")" | tr -d '\r')
        name=$(basename "$file")
        expect_contains "$file's SHA-1 compat member" "$listing" "member: $sha1 compat $kind"
        expect_contains "$file's SHA-256 member" "$listing" "member: $sha256 sha256 $kind"
        grep -q "member: $sha256 sha256 [A-Za-z]* *$name " <<<"$listing" ||
            fail "$file's SHA-256 member is not named $name"
    done
}

# wine_path UNIX_PATH: the path as a Windows program in Wine sees it (drive Z:).
wine_path() {
    printf 'Z:%s' "${1//\//\\}"
}
