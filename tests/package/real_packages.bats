#!/usr/bin/env bats
# Real signed driver packages that Windows installs, read from outside the repository: verify
# passes each (the one incomplete catalog aside), list reads every catalog, make gives the
# real catalog's members, and the Linux checker calls each row with models ready.
# Environment: CATALOG_TOOL, CHECKER, WRITE_PE, DRIVERSETUP_SAMPLE_PACKAGE, WORK_DIR,
# REAL_PACKAGES (the folder of packages; the suite skips when it is absent).

# One row per INF: folder/INF | verify's exit | how make's members compare with the real
# catalog's | the checker's 32-bit row | its 64-bit row. Compare: same (digest, kind, PE or
# flat, File), subset (the real catalog is shared with other INFs), made-in-real (digests and
# kinds only: the real catalog names a renamed file by its source), real-in-made (the real
# catalog lacks a file), none (no target of ours applies). A row "-" has no models for that
# build, so its verdict is not the package's.
rows=(
    "coral-pcie/coral.inf|0|same|-|ready"
    "cyusb3-win10-x64/cyusb3.inf|0|same|ready|ready"
    "ftdi-cdm-2.08.30-win81/ftdibus.inf|0|same|ready|ready"
    "ftdi-cdm-2.08.30-win81/ftdiport.inf|0|same|ready|ready"
    "coral-usb/Coral_USB_Accelerator.inf|0|same|-|ready"
    "coral-usb/Coral_USB_Accelerator_(DFU).inf|0|same|-|ready"
    "scream-x64/Scream.inf|0|same|ready|ready"
    "stm32cube-dfu/STM32Bootloader.inf|0|same|ready|ready"
    "ch341ser-arm64/CH341SER.inf|0|none|-|-"
    "sttube-dfuse/STtube.inf|0|same|ready|ready"
    "ublox-gnss/ubloxusb.inf|0|same|ready|ready"
    "micronucleus/micronucleus_bootloader.inf|0|made-in-real|ready|ready"
    "digistump-micronucleus-2.0a4/DigiUSB.inf|0|same|ready|ready"
    "digistump-micronucleus-2.0a4/DigiSerial.inf|0|same|ready|ready"
    "digistump-micronucleus-2.0a4/DigiX.inf|0|same|ready|ready"
    "digistump-micronucleus-2.0a4/Digispark_Bootloader.inf|1|real-in-made|NOT ready|ready"
    "sparkfun-avr/sparkfun.inf|0|same|ready|ready"
    "qtechknow/Qtechknow.inf|0|same|ready|ready"
    "pololu-a-star/a-star.inf|0|subset|ready|ready"
)

# The catalog's OS tokens as make's --os names them.
os_names=(
    "XPX86 XP_X86" "XPX64 XP_X64" "VistaX86 Vista_X86" "VistaX64 Vista_X64" "7X86 7_X86"
    "7X64 7_X64" "8X86 8_X86" "8X64 8_X64" "_v63 6_3_X86" "_v63_X64 6_3_X64" "_v100 10_X86"
    "_v100_X64 10_X64" "Server_v100_X64 Server10_X64" "10X86 10_X86" "10X64 10_X64"
)

setup() {
    load "${BATS_TEST_DIRNAME}/../bats_helper"
    if [ ! -d "${REAL_PACKAGES:-}" ]; then
        skip "no real packages at '${REAL_PACKAGES:-}' (the shared folder beside the checkout)"
    fi
    work=$BATS_TEST_TMPDIR
}

# each_row FUNCTION: calls FUNCTION INF VERIFY COMPARE ROW32 ROW64 for each row.
each_row() {
    local row
    for row in "${rows[@]}"; do
        IFS='|' read -r inf verify compare row32 row64 <<<"$row"
        "$1" "$inf" "$verify" "$compare" "$row32" "$row64"
    done
}

# catalog_of INF: the path of the catalog verify used for it, as spelled on disk.
catalog_of() {
    local named
    named=$("$CATALOG_TOOL" verify "$REAL_PACKAGES/$1" | sed -n 's/.* against \(.*\) (v[12],.*/\1/p')
    find "$REAL_PACKAGES/$(dirname "$1")" -maxdepth 1 -iname "$named" | head -n 1
}

# members CAT FIELDS: the catalog's distinct members, FIELDS of digest, kind, PE/flat, File.
members() {
    "$CATALOG_TOOL" list "$1" | awk -v n="$2" '/^member:/ { line = $2; for (i = 3; i < 2 + n; ++i) line = line " " $i; print line }' | sort -u
}

# os_targets CAT: make's --os for the catalog's own OS attribute, tokens it cannot name left out.
os_targets() {
    local token pair list=""
    for token in $("$CATALOG_TOOL" list "$1" | sed -n 's/^attribute: OS = //p' | tr ',' ' '); do
        for pair in "${os_names[@]}"; do
            [ "${pair%% *}" = "$token" ] && list=$list,${pair#* }
        done
    done
    printf '%s' "${list#,}"
}

verify_row() {
    run "$CATALOG_TOOL" verify "$REAL_PACKAGES/$1"
    expect_equal "verify's exit for $1: $output" "$status" "$2"
}

@test "verify passes every package Windows installs, and names the one missing file" {
    each_row verify_row
    run "$CATALOG_TOOL" verify "$REAL_PACKAGES/digistump-micronucleus-2.0a4/Digispark_Bootloader.inf"
    expect_contains "the missing file" "$output" 'error: '
    expect_contains "the missing file" "$output" 'x86\libusb0.sys (INF line'
    expect_not_contains "amd64" "$output" 'amd64\'
}

@test "list reads every catalog, a SHA-1 compat entry beside each SHA-256 member" {
    local cat sha256 compat
    for cat in "$REAL_PACKAGES"/*/*.cat; do
        run "$CATALOG_TOOL" list "$cat"
        expect_equal "list's exit for $cat: $output" "$status" 0
        expect_contains "$cat's signer" "$output" "signer: "
        sha256=$(grep -c '^member: [0-9a-f]* sha256 ' <<<"$output" || true)
        compat=$(grep -c '^member: [0-9a-f]* compat ' <<<"$output" || true)
        expect_equal "$cat's compat entries" "$compat" "$sha256"
    done
}

make_row() {
    local inf=$1 compare=$3 real made os sha256=""
    [ "$compare" = none ] && return 0
    real=$(catalog_of "$inf")
    os=$(os_targets "$real")
    grep -q '^catalog: .*, v2 ' <<<"$("$CATALOG_TOOL" list "$real")" && sha256=--sha256
    rm -rf "$work/package"
    cp -r "$REAL_PACKAGES/$(dirname "$inf")" "$work/package"
    made=$work/made.cat
    run "$CATALOG_TOOL" make --os "$os" $sha256 -o "$made" "$work/package/$(basename "$inf")"
    expect_equal "make's exit for $inf: $output" "$status" 0
    [ -n "$(members "$real" 4)" ] || fail "no members listed for $real"
    case $compare in
    same) expect_equal "$inf's members" "$(members "$made" 4)" "$(members "$real" 4)" ;;
    subset) expect_equal "$inf's members not in the real catalog" \
        "$(comm -23 <(members "$made" 4) <(members "$real" 4))" "" ;;
    made-in-real) expect_equal "$inf's digests not in the real catalog" \
        "$(comm -23 <(members "$made" 3) <(members "$real" 3))" "" ;;
    real-in-made) expect_equal "the real catalog's digests that make left out for $inf" \
        "$(comm -13 <(members "$made" 3) <(members "$real" 3))" "" ;;
    esac
}

@test "make gives the real catalog's members, compat entries included" {
    each_row make_row
}

@test "make writes over a catalog whose name differs in letter case, and says so" {
    cp -r "$REAL_PACKAGES/qtechknow" "$work/package"
    run "$CATALOG_TOOL" make "$work/package/Qtechknow.inf"
    expect_equal "exit: $output" "$status" 0
    expect_contains "the warning" "$output" \
        "Qtechknow.cat found as qtechknow.cat, which matches only when letter case is ignored"
    expect_equal "the folder" "$(ls "$work/package")" "$(printf 'Qtechknow.inf\nqtechknow.cat')"
}

@test "two files whose names differ only in letter case are an error naming both" {
    cp -r "$REAL_PACKAGES/scream-x64" "$work/package"
    cp "$work/package/Scream.sys" "$work/package/SCREAM.SYS"
    run "$CATALOG_TOOL" verify "$work/package/Scream.inf"
    expect_equal "exit" "$status" 1
    expect_contains "the error" "$output" "matches both SCREAM.SYS and Scream.sys"
}

checker_row() {
    local inf=$1 row32=$4 row64=$5 dir=$work/dist arch
    DRIVERSETUP_SAMPLE_PACKAGE=$DRIVERSETUP_SAMPLE_PACKAGE \
        "$BATS_TEST_DIRNAME/../../scripts/lay_distribution.sh" "$dir" \
        "$work/x86.exe" "$work/x86.exe" "$work/x64.exe" >/dev/null
    # The package laid as each row's, its INF under the name the launcher gives it.
    for arch in x86 amd64; do
        rm -rf "$dir/Drive/Tavix/$arch"
        cp -r "$REAL_PACKAGES/$(dirname "$inf")" "$dir/Drive/Tavix/$arch"
        rm "$dir/Drive/Tavix/$arch/$(basename "$inf")"
        cp "$REAL_PACKAGES/$inf" "$dir/Drive/Tavix/$arch/quenusb.inf"
    done
    run "$CHECKER" "$dir"
    [ "$row32" = - ] || expect_contains "$inf's 32-bit row" "$output" "32-bit Windows: $row32"
    [ "$row64" = - ] || expect_contains "$inf's 64-bit row" "$output" "64-bit Windows: $row64"
    # No advice may lead to replacing Microsoft's signature.
    if "$CATALOG_TOOL" list "$(catalog_of "$inf")" | grep -q '^signer: .*CN = Microsoft '; then
        expect_not_contains "$inf's advice" "$output" "make it again"
        expect_not_contains "$inf's advice" "$output" "make the catalog again"
    fi
}

@test "the checker calls each row ready that the package has models for" {
    "$WRITE_PE" x86-gui "$work/x86.exe"
    "$WRITE_PE" x64-gui "$work/x64.exe"
    each_row checker_row
    # cyusb3's Microsoft catalog targets 64-bit Windows alone.
    checker_row cyusb3-win10-x64/cyusb3.inf 0 same ready ready
    expect_contains "advice for the 32-bit row" "$output" \
        "Microsoft's signature cannot be made again here: get a package for it from its publisher"
}
