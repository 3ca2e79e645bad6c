# shellcheck shell=bash
# Shared Wine helpers for the demo and the end-to-end tests; source this file.

# Quiet, and no Mono or Gecko installer prompts while a prefix is made.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# wine_make_prefix DIR ARCH: makes a fresh Wine prefix (ARCH win64 or win32) at DIR and waits
# until Wine has finished setting it up.
wine_make_prefix() {
    local dir=$1 arch=$2
    if [ -d "$dir" ]; then
        WINEPREFIX=$dir wineserver -k 2>/dev/null || true
        rm -rf "$dir"
    fi
    mkdir -p "$(dirname "$dir")"
    WINEPREFIX=$dir WINEARCH=$arch wineboot -i >/dev/null 2>&1
    WINEPREFIX=$dir wineserver -w
    if [ ! -f "$dir/system.reg" ]; then
        echo "could not create the $arch Wine prefix at $dir" >&2
        return 1
    fi
}

# What the pre-installer stand-in writes into its working directory, one "key=value" a line.
export STANDIN_REPORT_NAME=QZDrvPrep-report.txt

# standin_report_value REPORT KEY: one value from a stand-in's report, without the CR that
# a Windows program writes; nothing if the report or the key is missing.
standin_report_value() {
    [ -f "$1" ] || return 0
    sed -n "s/^$2=//p" "$1" | tr -d '\r'
}

# wine_windows_path UNIX_PATH: the path as a Windows program in Wine sees it (drive Z:).
wine_windows_path() {
    local path=$1
    printf 'Z:%s' "${path//\//\\}"
}

# wine_ensure_prefix DIR ARCH: like wine_make_prefix, but keeps a prefix already made at DIR.
wine_ensure_prefix() {
    if [ -f "$1/system.reg" ]; then
        return 0
    fi
    wine_make_prefix "$1" "$2"
}

# wine_temp_dir PREFIX_DIR: the Unix path of the folder that GetTempPath gives in the prefix
# (the Wine user's Temp); the prefix must have been made already.
wine_temp_dir() {
    find "$1/drive_c/users" -mindepth 2 -maxdepth 2 -type d -name Temp ! -path '*/Public/*' |
        head -n 1
}

# wine_staged_copies PREFIX_DIR INF: the files in the prefix's INF folder (where staging puts
# a driver package) that hold exactly INF's bytes, one path a line, whatever their names.
wine_staged_copies() {
    local file
    for file in "$1/drive_c/windows/inf"/*; do
        if [ -f "$file" ] && cmp -s "$file" "$2"; then echo "$file"; fi
    done
}
