#!/usr/bin/env bash
# End-to-end cases of driversetup-check on Linux: the sample distribution folder passes, and
# each kind of fault laid in a fresh copy gives the stated exit code and names the path.
# Usage: check_folder_cases.sh CHECKER WRITE_PE WORK_DIR
set -uo pipefail

checker=$1 write_pe=$2 work=$3
here=$(cd "$(dirname "$0")" && pwd)
lay=$here/../../scripts/lay_distribution.sh

rm -rf "$work"
mkdir -p "$work/bin"
for kind in x86-gui x64-gui x86-dll; do
    "$write_pe" "$kind" "$work/bin/$kind.exe" || exit 1
done

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
    inf-utf16) { printf '\xff\xfe' && iconv -f UTF-8 -t UTF-16LE "$dir/Drive/Tavix/x86/quenusb.inf"; } >"$dir/x" && mv "$dir/x" "$dir/Drive/Tavix/x86/quenusb.inf" ;;
    inf-too-big) truncate -s 5M "$dir/Drive/Tavix/x86/quenusb.inf" ;;
    catalog-missing) rm "$dir/Drive/Tavix/x86/quenusb.cat" ;;
    case-differs | case-differs-strict) mv "$dir/Drive/amd64" "$dir/Drive/AMD64" ;;
    launcher-missing | launcher-missing-strict) rm "$dir/DriverSetup.exe" ;;
    launcher-64-bit) cp "$work/bin/x64-gui.exe" "$dir/DriverSetup.exe" ;;
    spaces-and-accents) touch "$dir/Drive/i386/Lisez-moi é.txt" && rm "$dir/Drive/i386/QZDrvPrep_x86.exe" ;;
    *) echo "unknown case $1" >&2 && return 1 ;;
    esac
}

# case | arguments after the folder | exit code | text the output must hold
cases=(
    "sample||0|32-bit Windows: ready. 64-bit Windows: ready."
    "drive-renamed||1|Drive\\i386\\QZDrvPrep_x86.exe: not found: this folder holds DriverSetup.exe, Drivers"
    "x64-in-i386||1|Drive\\i386\\QZDrvPrep_x86.exe: is a PE32+ AMD64 GUI program, not the 32-bit (PE32 i386) pre-installer"
    "dll-as-preinstaller||1|Drive\\i386\\QZDrvPrep_x86.exe: is a PE32 i386 DLL"
    "truncated||1|Drive\\amd64\\QZDrvPrep_x64.exe: is a Windows program cut short"
    "folder-in-place||1|Drive\\amd64\\QZDrvPrep_x64.exe: is a folder, not a file"
    "inf-missing||1|Drive\\Tavix\\amd64\\quenusb.inf: not found: Drive\\Tavix\\amd64 holds quenusb.cat"
    "inf-vanished||1|Drive\\Tavix\\amd64\\quenusb.inf: vanished or cannot be examined"
    "inf-is-a-pipe||1|Drive\\Tavix\\x86\\quenusb.inf: is not a regular file (a device, pipe or broken link)"
    "inf-undecorated||1|Drive\\Tavix\\amd64\\quenusb.inf: [Manufacturer] entry '%V%' names no NTamd64 decoration"
    "inf-bad-signature||1|Drive\\Tavix\\x86\\quenusb.inf: has Signature '\$Windows 98\$'"
    "inf-utf16||0|Drive\\Tavix\\x86\\quenusb.inf: an INF (UTF-16LE with BOM)"
    "inf-too-big||1|Drive\\Tavix\\x86\\quenusb.inf: is 5242880 bytes, above the 4 MiB"
    "catalog-missing||1|Drive\\Tavix\\x86\\quenusb.cat: not found: Drive\\Tavix\\x86 holds quenusb.inf"
    "case-differs||0|warning [64-bit] Drive\\amd64\\QZDrvPrep_x64.exe: found as Drive\\AMD64\\QZDrvPrep_x64.exe"
    "case-differs-strict|--strict|1|found as Drive\\AMD64\\QZDrvPrep_x64.exe"
    "launcher-missing||0|warning [both] DriverSetup.exe: is not in this folder"
    "launcher-missing-strict|--strict|1|DriverSetup.exe: is not in this folder"
    "launcher-64-bit||1|DriverSetup.exe: is a PE32+ AMD64 GUI program, not the launcher"
    "spaces-and-accents||1|Drive\\i386\\QZDrvPrep_x86.exe: not found: Drive\\i386 holds Lisez-moi é.txt"
)

failures=0
run_case() {
    local name=$1 want_exit=$2 want_text=$3
    shift 3
    local output got_exit
    output=$("$@" 2>&1)
    got_exit=$?
    local problems=()
    [ "$got_exit" = "$want_exit" ] || problems+=("exit $got_exit, expected $want_exit")
    grep -qF -- "$want_text" <<<"$output" || problems+=("output lacks: $want_text")
    case $output in *$'\e'*) problems+=("colour codes in output that is not a terminal") ;; esac
    if [ ${#problems[@]} -eq 0 ]; then
        echo "ok: $name"
    else
        failures=$((failures + 1))
        echo "FAIL: $name" >&2
        printf '    %s\n' "${problems[@]}" >&2
        printf '%s\n' "$output" | sed 's/^/    | /' >&2
    fi
}

for row in "${cases[@]}"; do
    IFS='|' read -r name args want_exit want_text <<<"$row"
    dir="$work/$name folder é"
    "$lay" "$dir" "$work/bin/x86-gui.exe" "$work/bin/x86-gui.exe" "$work/bin/x64-gui.exe" &&
        damage "$name" "$dir" || { failures=$((failures + 1)) && continue; }
    # shellcheck disable=SC2086
    run_case "$name" "$want_exit" "$want_text" "$checker" $args "$dir"
done

# Without a folder the checker checks the working directory, as the launcher uses it.
run_case "default folder is the working directory" 0 "checking $work/sample folder é as" \
    bash -c 'cd "$1" && "$2"' - "$work/sample folder é" "$checker"

# Usage errors and unreadable folders: exit 2 and a reason.
run_case "unknown option" 2 "unknown option --fast" "$checker" --fast "$work/sample folder é"
run_case "two folders" 2 "more than one folder given" "$checker" "$work" "$work"
run_case "missing folder" 2 "no such folder" "$checker" "$work/nowhere"
run_case "a file as folder" 2 "not a folder" "$checker" "$work/bin/x86-gui.exe"
run_case "help" 0 "Exit codes:" "$checker" --help

rm -rf "$work"
echo "$failures failed"
[ "$failures" -eq 0 ]
