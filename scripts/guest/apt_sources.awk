# This machine's Debian apt entries for one release, in one-line and deb822 form alike, as
# "deb URI SUITE main" lines, each once. Variables: codename (the release), only (non-empty:
# the release suite alone, without -updates and -security).
function emit(uri, suite) {
    if (suite == codename || (only == "" && (suite == codename "-updates" || suite == codename "-security")))
        if (!seen[uri " " suite]++) print "deb " uri " " suite " main"
}
function flush(  u, s) {
    if (types ~ /(^| )deb( |$)/ && enabled != "no")
        for (u = 1; u <= nu; u++) for (s = 1; s <= ns; s++) emit(uris[u], suites[s])
    types = ""; enabled = ""; nu = 0; ns = 0
}
/^[ \t]*#/ { next }
/^deb[ \t]/ { sub(/\[[^]]*\][ \t]*/, ""); emit($2, $3); next }
/^[ \t]*$/ { flush(); next }
/^Types:/ { types = $0; sub(/^Types:[ \t]*/, "", types) }
/^Enabled:/ { enabled = tolower($2) }
/^URIs:/ { for (i = 2; i <= NF; i++) uris[++nu] = $i }
/^Suites:/ { for (i = 2; i <= NF; i++) suites[++ns] = $i }
END { flush() }
