// The probe against the real Windows calls, run under Wine: the answer for this prefix, and
// the substitution with the platform's own case-insensitive search.
// Usage: probe_on_windows EXPECTED_ANSWER (1 in a 64-bit prefix, 0 in a 32-bit one)
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "probe/probe.h"
#include "probe/replace_first_no_case_cases.h"

// Room for every text of the shared table and its longest result.
static const size_t kTextRoom = 128;

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
        char text[kTextRoom];
        if (strlen(row.text) + strlen(row.replacement) >= sizeof text) {
            ++failed;
            printf("FAIL: ReplaceFirstNoCase, %s: case too long for this check\n", row.name);
            continue;
        }
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
