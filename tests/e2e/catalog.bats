#!/usr/bin/env bats
# Our catalogs as Windows' own catalog API reads them, under Wine: CryptCATOpen and
# CryptCATEnumerateMember decode every member of a v1 catalog of a package with the real
# pre-installers in it (its member info and indirect data, with crypt32's decoders) and list
# exactly our digests. Wine's reference tag is the indirect data's digest in upper-case hex,
# not the stored identifier, which verify and osslsigncode check instead; Wine reads v2
# catalogs as empty and checks no signature.
# Environment: WINEPREFIX, E2E_WORK, CATALOG_TOOL, MEMBERS_EXE, PREP_X86, PREP_X64.

setup() {
    load "${BATS_TEST_DIRNAME}/../bats_helper"
    run_timeout=$((60 * ${DRIVERSETUP_TIMEOUT_SCALE:-1}))
}

@test "windows_lists_our_v1_members" {
    local pkg=$E2E_WORK/catalog-members
    rm -rf "$pkg"
    mkdir -p "$pkg/bin"
    cp "$PREP_X86" "$pkg/bin/prep_x86.exe"
    cp "$PREP_X64" "$pkg/bin/prep_x64.exe"
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

# wine_path UNIX_PATH: the path as a Windows program in Wine sees it (drive Z:).
wine_path() {
    printf 'Z:%s' "${1//\//\\}"
}
