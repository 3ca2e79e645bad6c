#!/usr/bin/env bats
# The real pre-installer of this prefix's build stages every real signed package that has
# models for it, in one prefix, one package after another; the one package whose catalog
# lacks a file is refused, naming it. Wine checks no signature: what this shows is our own
# reading of the packages and catalogs, and Setup's staging of them.
# Environment: WINEPREFIX, E2E_WORK, PREP_X86, PREP_X64, REAL_PACKAGES (skips when absent).

# What Setup's codes leave of an exit code on Linux: their low byte.
readonly kNoModelsLowByte=1           # 0xE0000101, ERROR_SECTION_NOT_FOUND
readonly kHashNotInCatalogLowByte=75  # 0xE000024B, ERROR_FILE_HASH_NOT_IN_CATALOG

# One row per INF: folder/INF | what the x86 build does | what the x64 build does: staged,
# no-models, or refused:FILE (the catalog lacks FILE).
rows=(
    "coral-pcie/coral.inf|no-models|staged"
    "cyusb3-win10-x64/cyusb3.inf|staged|staged"
    "ftdi-cdm-2.08.30-win81/ftdibus.inf|staged|staged"
    "ftdi-cdm-2.08.30-win81/ftdiport.inf|staged|staged"
    "coral-usb/Coral_USB_Accelerator.inf|no-models|staged"
    "coral-usb/Coral_USB_Accelerator_(DFU).inf|no-models|staged"
    "scream-x64/Scream.inf|staged|staged"
    "stm32cube-dfu/STM32Bootloader.inf|staged|staged"
    "ch341ser-arm64/CH341SER.inf|no-models|no-models"
    "sttube-dfuse/STtube.inf|staged|staged"
    "ublox-gnss/ubloxusb.inf|staged|staged"
    "micronucleus/micronucleus_bootloader.inf|staged|staged"
    "digistump-micronucleus-2.0a4/DigiUSB.inf|staged|staged"
    "digistump-micronucleus-2.0a4/DigiSerial.inf|staged|staged"
    "digistump-micronucleus-2.0a4/DigiX.inf|staged|staged"
    "digistump-micronucleus-2.0a4/Digispark_Bootloader.inf|refused:libusb0.sys|staged"
    "sparkfun-avr/sparkfun.inf|staged|staged"
    "qtechknow/Qtechknow.inf|staged|staged"
    "pololu-a-star/a-star.inf|staged|staged"
)

setup() {
    load "${BATS_TEST_DIRNAME}/../bats_helper"
    if [ ! -d "${REAL_PACKAGES:-}" ]; then
        skip "no real packages at '${REAL_PACKAGES:-}' (the shared folder beside the checkout)"
    fi
    scripts=$BATS_TEST_DIRNAME/../../scripts
    # shellcheck source=../../scripts/wine_common.sh
    . "$scripts/wine_common.sh"
    run_timeout=$((60 * ${DRIVERSETUP_TIMEOUT_SCALE:-1}))
    if [ -d "$WINEPREFIX/drive_c/windows/syswow64" ]; then
        column=3 program=$PREP_X64
    else
        column=2 program=$PREP_X86
    fi
    log=$(wine_temp_dir "$WINEPREFIX")/QZDrvPrep.log
}

teardown() {
    # A skipped case started nothing in the prefix.
    [ -d "${REAL_PACKAGES:-}" ] || return 0
    wineserver -k 2>/dev/null || true
    timeout "$run_timeout" wineserver -w
}

@test "stages_every_real_package" {
    local packages=$E2E_WORK/real-packages row inf want code copies
    rm -rf "$packages"
    mkdir -p "$E2E_WORK"
    cp -r "$REAL_PACKAGES" "$packages"
    # One server, and the services it starts, for all the runs: each run then starts only the
    # pre-installer, which under emulation is most of the saving.
    wineserver -p
    for row in "${rows[@]}"; do
        inf=$(cut -d'|' -f1 <<<"$row")
        want=$(cut -d'|' -f"$column" <<<"$row")
        rm -f "$log"
        code=0
        (cd "$packages" && timeout "$run_timeout" wine "$program" /I "${inf//\//\\}") || code=$?
        copies=$(wine_staged_copies "$WINEPREFIX" "$packages/$inf" | grep -c . || true)
        case $want in
        staged)
            expect_equal "exit code for $inf: $(cat "$log" 2>/dev/null)" "$code" 0
            [ "$copies" -ge 1 ] || fail "$inf is not in the driver store"
            ;;
        no-models)
            expect_equal "exit code for $inf (no models)" "$code" "$kNoModelsLowByte"
            expect_equal "copies of $inf in the store" "$copies" 0
            ;;
        refused:*)
            expect_equal "exit code for $inf" "$code" "$kHashNotInCatalogLowByte"
            expect_equal "copies of $inf in the store" "$copies" 0
            expect_file_line "the file the catalog lacks" "$log" "${want#refused:}"
            ;;
        esac
    done
}
