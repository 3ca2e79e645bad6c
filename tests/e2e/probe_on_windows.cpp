// The probe against the real Windows calls, run under Wine: the answer for this prefix, and
// the substitution with the platform's own case-insensitive search.
// Usage: probe_on_windows EXPECTED_ANSWER (1 in a 64-bit prefix, 0 in a 32-bit one)
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "probe/probe.h"

struct ReplaceCase {
    const char* name;
    const char* text;
    const char* needle;
    const char* replacement;
    const char* expected;  // null: no occurrence
};

static const ReplaceCase kReplaceCases[] = {
    {"system directory", "C:\\windows\\system32", "system32", "SysWow64", "C:\\windows\\SysWow64"},
    {"upper-case match", "C:\\WINDOWS\\SYSTEM32", "system32", "SysWow64", "C:\\WINDOWS\\SysWow64"},
    {"first of two", "D:\\System32Data\\WINDOWS\\System32", "system32", "SysWow64",
     "D:\\SysWow64Data\\WINDOWS\\System32"},
    {"longer replacement", "ab-xy-cd", "XY", "12345", "ab-12345-cd"},
    {"no occurrence", "C:\\WINNT\\system", "system32", "SysWow64", NULL},
};

int main(int argc, char* argv[]) {
    if (argc != 2) {
        fprintf(stderr, "usage: probe_on_windows EXPECTED_ANSWER\n");
        return 2;
    }
    int passed = 0;
    int failed = 0;
    const int expected = atoi(argv[1]);
    const int answer = HasSysWow64Directory();
    if (answer == expected) {
        ++passed;
    } else {
        ++failed;
        printf("FAIL: HasSysWow64Directory answered %d, expected %d\n", answer, expected);
    }
    for (const ReplaceCase& row : kReplaceCases) {
        char text[64];
        strcpy(text, row.text);
        const char* result = ReplaceFirstNoCase(text, row.needle, row.replacement);
        const bool ok = row.expected == NULL ? result == NULL && strcmp(text, row.text) == 0
                                             : result == text && strcmp(text, row.expected) == 0;
        if (ok) {
            ++passed;
        } else {
            ++failed;
            printf("FAIL: ReplaceFirstNoCase, %s: got '%s'\n", row.name, text);
        }
    }
    printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
