// SysWow64 probe and the in-place substitution it relies on.
#include "probe/probe.h"

#include <string.h>

#include "win/winapi_seam.h"

// Only Windows installed under a folder named WINDOWS counts; other layouts answer 0.
static const char kSystemDirectoryGate[] = "\\WINDOWS\\System32";
// Needle and replacement have the same length, so the path never grows inside its buffer.
static const char kSystemDirectoryName[] = "system32";
static const char kWow64DirectoryName[] = "SysWow64";

char* ReplaceFirstNoCase(char* text, const char* needle, const char* replacement) {
    const char* found = StrStrIA(text, needle);
    if (found == NULL) {
        return NULL;
    }
    // Recover a writable pointer from the offset: StrStrIA hands back a const one.
    char* occurrence = text + (found - text);
    const size_t needle_length = strlen(needle);
    const size_t replacement_length = strlen(replacement);
    const char* tail = occurrence + needle_length;
    // The tail may slide either way over itself; memmove is the overlap-safe copy.
    memmove(occurrence + replacement_length, tail, strlen(tail) + 1);
    memcpy(occurrence, replacement, replacement_length);
    return text;
}

int HasSysWow64Directory() {
    char path[MAX_PATH];
    const UINT length = GetSystemDirectoryA(path, MAX_PATH);
    // 0 is failure and MAX_PATH or more is the size the path would need: in both cases the
    // buffer holds no path, so nothing in it may be read.
    if (length == 0 || length >= MAX_PATH) {
        return 0;
    }
    // A terminator at the end keeps every later read inside the buffer, whatever was written.
    path[MAX_PATH - 1] = '\0';
    if (StrStrIA(path, kSystemDirectoryGate) == NULL) {
        return 0;
    }
    ReplaceFirstNoCase(path, kSystemDirectoryName, kWow64DirectoryName);
    return PathFileExistsA(path) ? 1 : 0;
}
