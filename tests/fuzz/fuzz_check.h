// Shared bits of the fuzz targets: a check that stops the run, and the plain reference search.
#ifndef DRIVERSETUP_TESTS_FUZZ_CHECK_H
#define DRIVERSETUP_TESTS_FUZZ_CHECK_H

#include <stdio.h>
#include <stdlib.h>

#include <string>

// A failed check is a finding: libFuzzer saves the input that caused the abort.
#define FUZZ_CHECK(condition)                                                             \
    do {                                                                                  \
        if (!(condition)) {                                                               \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            abort();                                                                      \
        }                                                                                 \
    } while (0)

// Position of the first match of needle in text, letters A-Z folded to a-z, or npos; an empty
// needle matches nowhere, as the platform's search does.
inline size_t FindNoCase(const std::string& text, const std::string& needle) {
    if (needle.empty() || needle.size() > text.size()) {
        return std::string::npos;
    }
    for (size_t at = 0; at + needle.size() <= text.size(); ++at) {
        size_t i = 0;
        for (; i < needle.size(); ++i) {
            char a = text[at + i];
            char b = needle[i];
            a = (a >= 'A' && a <= 'Z') ? static_cast<char>(a - 'A' + 'a') : a;
            b = (b >= 'A' && b <= 'Z') ? static_cast<char>(b - 'A' + 'a') : b;
            if (a != b) {
                break;
            }
        }
        if (i == needle.size()) {
            return at;
        }
    }
    return std::string::npos;
}

#endif
