#!/usr/bin/env bats
# driversetup-check on Linux: the sample distribution folder, its catalogs signed here with a
# throwaway certificate, passes, and each kind of fault laid in a fresh copy gives the stated
# exit code and names the path; usage errors exit 2.
# Environment: CHECKER, WRITE_PE (writes small PE files), CATALOG_TOOL, WORK_DIR,
# DRIVERSETUP_SAMPLE_PACKAGE (the build's unsigned sample package).

setup_file() {
    load "${BATS_TEST_DIRNAME}/../bats_helper"
    rm -rf "$WORK_DIR"
    mkdir -p "$WORK_DIR/bin" "$WORK_DIR/pki"
    local kind folder
    for kind in x86-gui x64-gui x86-dll; do
        "$WRITE_PE" "$kind" "$WORK_DIR/bin/$kind.exe"
    done
    make_pki "$WORK_DIR/pki" >"$WORK_DIR/pki/log" 2>&1
    # The build's sample package, its catalogs signed.
    export UNSIGNED_PACKAGE=$DRIVERSETUP_SAMPLE_PACKAGE
    cp -r "$UNSIGNED_PACKAGE" "$WORK_DIR/package"
    for folder in x86 amd64; do
        sign_catalog "$WORK_DIR/package/$folder/quenusb.cat"
    done
    export DRIVERSETUP_SAMPLE_PACKAGE=$WORK_DIR/package
}

# make_pki DIR: a throwaway root (root.pem), a code-signing certificate it issued (cert.pem,
# cert.key) and an unrelated root (other-root.pem).
make_pki() {
    pki_root "$1" root "/CN=Throwaway Checker Root" &&
        pki_issue "$1" cert "/CN=Throwaway Checker Signer" root "extendedKeyUsage=codeSigning" &&
        pki_root "$1" other-root "/CN=Throwaway Other Root"
}

# flip_list_identifier CAT: alters the catalog's list identifier, which the signature covers.
flip_list_identifier() {
    local id
    id=$("$CATALOG_TOOL" list "$1" | sed -n 's/.*, list \([0-9a-f]*\)$/\1/p')
    flip_first "$1" "$(printf '%s' "$id" | sed 's/../\\x&/g')"
}

# sign_catalog CAT: signs CAT in place with the throwaway certificate.
sign_catalog() {
    osslsigncode sign -certs "$WORK_DIR/pki/cert.pem" -key "$WORK_DIR/pki/cert.key" -in "$1" \
        -out "$1.signed" >/dev/null
    mv "$1.signed" "$1"
}

# remake_catalog INF [ARG...]: makes the INF's catalog again (with ARGs) and signs it.
remake_catalog() {
    local inf=$1
    shift
    "$CATALOG_TOOL" make "$@" "$inf" >/dev/null
    sign_catalog "${inf%.inf}.cat"
}

teardown_file() {
    rm -rf "$WORK_DIR"
}

setup() {
    load "${BATS_TEST_DIRNAME}/../bats_helper"
    work=$WORK_DIR
    lay=$BATS_TEST_DIRNAME/../../scripts/lay_distribution.sh
}

undecorated_inf='[Version]\r\nSignature="$Windows NT$"\r\nCatalogFile=quenusb.cat\r\n[Manufacturer]\r\n%%V%%=Models\r\n[Models]\r\n'

# damage CASE DIR: lays the case's fault into a fresh sample folder at DIR.
damage() {
    local dir=$2
    case $1 in
    sample | no-colour | default-folder) ;;
    drive-renamed) mv "$dir/Drive" "$dir/Drivers" ;;
    x64-in-i386) cp "$work/bin/x64-gui.exe" "$dir/Drive/i386/QZDrvPrep_x86.exe" ;;
    dll-as-preinstaller) cp "$work/bin/x86-dll.exe" "$dir/Drive/i386/QZDrvPrep_x86.exe" ;;
    truncated) truncate -s 300 "$dir/Drive/amd64/QZDrvPrep_x64.exe" ;;
    folder-in-place) rm "$dir/Drive/amd64/QZDrvPrep_x64.exe" && mkdir "$dir/Drive/amd64/QZDrvPrep_x64.exe" ;;
    inf-missing) rm "$dir/Drive/Tavix/amd64/quenusb.inf" ;;
    inf-vanished) rm "$dir/Drive/Tavix/amd64/quenusb.inf" && ln -s gone.inf "$dir/Drive/Tavix/amd64/quenusb.inf" ;;
    inf-is-a-pipe) rm "$dir/Drive/Tavix/x86/quenusb.inf" && mkfifo "$dir/Drive/Tavix/x86/quenusb.inf" ;;
    inf-undecorated) printf "$undecorated_inf" >"$dir/Drive/Tavix/amd64/quenusb.inf" ;;
    inf-bad-signature) sed -i 's/\$Windows NT\$/$Windows 98$/' "$dir/Drive/Tavix/x86/quenusb.inf" ;;
    inf-utf16)
        { printf '\xff\xfe' && iconv -f UTF-8 -t UTF-16LE "$dir/Drive/Tavix/x86/quenusb.inf"; } >"$dir/x"
        mv "$dir/x" "$dir/Drive/Tavix/x86/quenusb.inf"
        remake_catalog "$dir/Drive/Tavix/x86/quenusb.inf"
        ;;
    catalog-unsigned) cp "$UNSIGNED_PACKAGE/amd64/quenusb.cat" "$dir/Drive/Tavix/amd64/quenusb.cat" ;;
    catalog-unsigned-x86) cp "$UNSIGNED_PACKAGE/x86/quenusb.cat" "$dir/Drive/Tavix/x86/quenusb.cat" ;;
    catalog-empty) : >"$dir/Drive/Tavix/amd64/quenusb.cat" ;;
    catalog-truncated) truncate -s 200 "$dir/Drive/Tavix/amd64/quenusb.cat" ;;
    inf-edited-after-signing) echo "; edited" >>"$dir/Drive/Tavix/amd64/quenusb.inf" ;;
    catalog-for-x86-only) remake_catalog "$dir/Drive/Tavix/amd64/quenusb.inf" --os 10_X86 ;;
    inf-too-big) truncate -s 5M "$dir/Drive/Tavix/x86/quenusb.inf" ;;
    catalog-missing) rm "$dir/Drive/Tavix/x86/quenusb.cat" ;;
    signature-altered) flip_byte "$dir/Drive/Tavix/amd64/quenusb.cat" $(($(stat -c %s "$dir/Drive/Tavix/amd64/quenusb.cat") - 1)) ;;
    signed-content-altered) flip_list_identifier "$dir/Drive/Tavix/x86/quenusb.cat" ;;
    case-differs | case-differs-strict) mv "$dir/Drive/amd64" "$dir/Drive/AMD64" ;;
    launcher-missing | launcher-missing-strict) rm "$dir/DriverSetup.exe" ;;
    launcher-64-bit) cp "$work/bin/x64-gui.exe" "$dir/DriverSetup.exe" ;;
    spaces-and-accents) touch "$dir/Drive/i386/Lisez-moi é.txt" && rm "$dir/Drive/i386/QZDrvPrep_x86.exe" ;;
    *) echo "unknown case $1" >&2 && return 1 ;;
    esac
}

# expect_checker EXIT TEXT COMMAND...: COMMAND exits with EXIT, prints TEXT, and, since its
# output is not a terminal, no colour codes.
expect_checker() {
    local want_exit=$1 want_text=$2
    shift 2
    run "$@"
    expect_equal "exit code" "$status" "$want_exit"
    expect_contains "output" "$output" "$want_text"
    case $output in *$'\e'*) fail "colour codes in output that is not a terminal: $output" ;; esac
}

# folder_case NAME ARGS EXIT TEXT: lays the sample folder with NAME's fault (in a folder whose
# name has a blank and an accent) and checks it with ARGS.
folder_case() {
    local name=$1 args=$2 dir="$work/$1 folder é"
    "$lay" "$dir" "$work/bin/x86-gui.exe" "$work/bin/x86-gui.exe" "$work/bin/x64-gui.exe"
    damage "$name" "$dir"
    # shellcheck disable=SC2086
    expect_checker "$3" "$4" "$CHECKER" $args "$dir"
}

@test "sample" {
    folder_case sample "" 0 "32-bit Windows: ready. 64-bit Windows: ready."
}

@test "drive-renamed" {
    folder_case drive-renamed "" 1 "Drive\\i386\\QZDrvPrep_x86.exe: not found: this folder holds DriverSetup.exe, Drivers"
}

@test "x64-in-i386" {
    folder_case x64-in-i386 "" 1 "Drive\\i386\\QZDrvPrep_x86.exe: is a PE32+ AMD64 GUI program, not the 32-bit (PE32 i386) pre-installer"
}

@test "dll-as-preinstaller" {
    folder_case dll-as-preinstaller "" 1 "Drive\\i386\\QZDrvPrep_x86.exe: is a PE32 i386 DLL"
}

@test "truncated" {
    folder_case truncated "" 1 "Drive\\amd64\\QZDrvPrep_x64.exe: is a Windows program cut short"
}

@test "folder-in-place" {
    folder_case folder-in-place "" 1 "Drive\\amd64\\QZDrvPrep_x64.exe: is a folder, not a file"
}

@test "inf-missing" {
    folder_case inf-missing "" 1 "Drive\\Tavix\\amd64\\quenusb.inf: not found: Drive\\Tavix\\amd64 holds quenusb.cat"
}

@test "inf-vanished" {
    folder_case inf-vanished "" 1 "Drive\\Tavix\\amd64\\quenusb.inf: vanished or cannot be examined"
}

@test "inf-is-a-pipe" {
    folder_case inf-is-a-pipe "" 1 "Drive\\Tavix\\x86\\quenusb.inf: is not a regular file (a device, pipe or broken link)"
}

@test "inf-undecorated" {
    folder_case inf-undecorated "" 1 "Drive\\Tavix\\amd64\\quenusb.inf: [Manufacturer] entry '%V%' names no NTamd64 decoration"
}

@test "inf-bad-signature" {
    folder_case inf-bad-signature "" 1 "Drive\\Tavix\\x86\\quenusb.inf: has Signature '\$Windows 98\$'"
}

@test "inf-utf16" {
    folder_case inf-utf16 "" 0 "Drive\\Tavix\\x86\\quenusb.inf: an INF (UTF-16LE with BOM)"
}

@test "inf-too-big" {
    folder_case inf-too-big "" 1 "Drive\\Tavix\\x86\\quenusb.inf: is 5242880 bytes, above the 4 MiB"
}

@test "catalog-missing" {
    folder_case catalog-missing "" 1 "Drive\\Tavix\\x86\\quenusb.cat: not found: Drive\\Tavix\\x86 holds quenusb.inf"
}

@test "case-differs" {
    folder_case case-differs "" 0 "warning [64-bit] Drive\\amd64\\QZDrvPrep_x64.exe: found as Drive\\AMD64\\QZDrvPrep_x64.exe"
}

@test "case-differs-strict" {
    folder_case case-differs-strict "--strict" 1 "found as Drive\\AMD64\\QZDrvPrep_x64.exe"
}

@test "launcher-missing" {
    folder_case launcher-missing "" 0 "warning [both] DriverSetup.exe: is not in this folder"
}

@test "launcher-missing-strict" {
    folder_case launcher-missing-strict "--strict" 1 "DriverSetup.exe: is not in this folder"
}

@test "launcher-64-bit" {
    folder_case launcher-64-bit "" 1 "DriverSetup.exe: is a PE32+ AMD64 GUI program, not the launcher"
}

@test "spaces-and-accents" {
    folder_case spaces-and-accents "" 1 "Drive\\i386\\QZDrvPrep_x86.exe: not found: Drive\\i386 holds Lisez-moi é.txt"
}

@test "catalog-unsigned" {
    folder_case catalog-unsigned "" 1 "error   [64-bit] Drive\\Tavix\\amd64\\quenusb.cat: is not signed; 64-bit Windows installs only signed driver packages"
}

@test "catalog-unsigned-x86" {
    folder_case catalog-unsigned-x86 "" 0 "warning [32-bit] Drive\\Tavix\\x86\\quenusb.cat: is not signed; 32-bit Windows asks an administrator"
}

@test "catalog-empty" {
    folder_case catalog-empty "" 1 "Drive\\Tavix\\amd64\\quenusb.cat: is empty (0 bytes); copy the package again, whole, from its publisher"
}

@test "catalog-truncated" {
    folder_case catalog-truncated "" 1 "Drive\\Tavix\\amd64\\quenusb.cat: is not a catalog"
}

@test "inf-edited-after-signing" {
    folder_case inf-edited-after-signing "" 1 "error   [64-bit] Drive\\Tavix\\amd64\\quenusb.cat: quenusb.inf changed after quenusb.cat was made: make the catalog again, then sign it"
}

@test "catalog-for-x86-only" {
    folder_case catalog-for-x86-only "" 0 "warning [64-bit] Drive\\Tavix\\amd64\\quenusb.cat: names no target for 64-bit Windows in its OS attribute (_v100)"
}

@test "signed-catalog-names-its-signer" {
    folder_case sample "" 0 "ok      [64-bit] Drive\\Tavix\\amd64\\quenusb.cat: signed by Throwaway Checker Signer; the signature holds (whether Windows trusts the signer, Windows decides)"
}

@test "signature-altered" {
    folder_case signature-altered "" 1 "error   [64-bit] Drive\\Tavix\\amd64\\quenusb.cat: is signed by Throwaway Checker Signer, but the signature does not match its content"
}

@test "signed-content-altered" {
    folder_case signed-content-altered "" 1 "error   [32-bit] Drive\\Tavix\\x86\\quenusb.cat: is signed by Throwaway Checker Signer, but the signature does not match its content"
}

@test "signer-leads-to-the-roots" {
    folder_case sample "--ca $work/pki/root.pem" 0 "ok      [64-bit] Drive\\Tavix\\amd64\\quenusb.cat: signed by Throwaway Checker Signer; the signature holds and leads to a root in $work/pki/root.pem"
}

@test "signer-from-other-roots" {
    folder_case sample "--ca $work/pki/other-root.pem" 1 "error   [32-bit] Drive\\Tavix\\x86\\quenusb.cat: is signed by Throwaway Checker Signer, but its certificate does not lead to a root in $work/pki/other-root.pem (unable to get local issuer certificate)"
}

@test "roots file missing" {
    expect_checker 2 "$work/pki/none.pem: the roots file cannot be read" "$CHECKER" --ca "$work/pki/none.pem" "$work"
}

@test "default folder is the working directory" {
    "$lay" "$work/default folder é" "$work/bin/x86-gui.exe" "$work/bin/x86-gui.exe" \
        "$work/bin/x64-gui.exe"
    expect_checker 0 "checking $work/default folder é as" \
        bash -c 'cd "$1" && "$2"' - "$work/default folder é" "$CHECKER"
}

@test "unknown option" {
    expect_checker 2 "unknown option --fast" "$CHECKER" --fast "$work"
}

@test "two folders" {
    expect_checker 2 "more than one folder given" "$CHECKER" "$work" "$work"
}

@test "missing folder" {
    expect_checker 2 "no such folder" "$CHECKER" "$work/nowhere"
}

@test "a file as folder" {
    expect_checker 2 "not a folder" "$CHECKER" "$work/bin/x86-gui.exe"
}

@test "help" {
    expect_checker 0 "Exit codes:" "$CHECKER" --help
}
