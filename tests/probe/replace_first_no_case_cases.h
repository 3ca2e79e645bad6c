// Cases for ReplaceFirstNoCase, shared by the host unit test (fake search) and the Windows
// check under Wine (the platform's own StrStrIA), so both hold the routine to the same table.
#ifndef DRIVERSETUP_TESTS_PROBE_REPLACE_FIRST_NO_CASE_CASES_H
#define DRIVERSETUP_TESTS_PROBE_REPLACE_FIRST_NO_CASE_CASES_H

#include <stddef.h>

struct ReplaceCase {
    const char* name;
    const char* text;
    const char* needle;
    const char* replacement;
    const char* expected;  // null: the needle does not occur
};

static const ReplaceCase kReplaceCases[] = {
    {"no occurrence", "C:\\WINNT\\system", "system32", "SysWow64", NULL},
    {"needle longer than text", "sys", "system32", "SysWow64", NULL},
    {"equal lengths overwrite in place", "C:\\WINDOWS\\system32", "system32", "SysWow64",
     "C:\\WINDOWS\\SysWow64"},
    {"longer replacement moves the tail right", "ab-xy-cd", "xy", "12345", "ab-12345-cd"},
    {"shorter replacement moves the tail left", "ab-wxyz-cd", "wxyz", "1", "ab-1-cd"},
    {"empty replacement removes the match", "abXYcd", "xy", "", "abcd"},
    {"only the first of several occurrences", "A\\system32\\System32\\SYSTEM32", "SYSTEM32",
     "SysWow64", "A\\SysWow64\\System32\\SYSTEM32"},
    {"first match may come before the gate's", "D:\\System32Data\\WINDOWS\\System32", "system32",
     "SysWow64", "D:\\SysWow64Data\\WINDOWS\\System32"},
    {"case-insensitive match, replacement's own case", "C:\\Windows\\SYSTEM32", "system32",
     "SysWow64", "C:\\Windows\\SysWow64"},
    {"match at the start", "System32\\drivers", "system32", "SysWow64", "SysWow64\\drivers"},
    {"whole text, longer", "ab", "AB", "abcdef", "abcdef"},
    {"whole text, shorter", "abcdef", "ABCDEF", "z", "z"},
};

#endif
