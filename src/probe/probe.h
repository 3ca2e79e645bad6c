// SysWow64 probe: tells whether the running Windows has a SysWow64 entry beside its system
// directory, which the launcher takes as the mark of 64-bit Windows.
#ifndef DRIVERSETUP_PROBE_H
#define DRIVERSETUP_PROBE_H

// Replaces the first case-insensitive occurrence of needle in text with replacement, written
// in the replacement's own letter case. The caller guarantees room for
// strlen(text) + strlen(replacement) - strlen(needle) + 1 bytes.
// Returns text, or a null pointer (text untouched) when needle does not occur.
char* ReplaceFirstNoCase(char* text, const char* needle, const char* replacement);

// Returns 1 when something (folder or file) exists at the system directory's path with its
// first "system32" turned into "SysWow64", provided the path contains "\WINDOWS\System32"
// (any case). Returns 0 otherwise, and also when the system directory cannot be read whole.
int HasSysWow64Directory();

#endif
