// Fuzz target: ReplaceFirstNoCase against a std::string reference, in heap storage of exactly
// the size its contract promises, so a single byte written past it is an AddressSanitizer
// report. Input: text, needle and replacement separated by NUL bytes; missing parts are empty.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "win/fake_winapi.h"
#include "fuzz_check.h"
#include "probe/probe.h"

// The next NUL-separated part of the input, advancing past it and its separator.
static std::string NextPart(const uint8_t** at, const uint8_t* end) {
    const uint8_t* start = *at;
    while (*at < end && **at != 0) {
        ++*at;
    }
    std::string part(reinterpret_cast<const char*>(start), static_cast<size_t>(*at - start));
    if (*at < end) {
        ++*at;
    }
    return part;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const uint8_t* at = data;
    const uint8_t* end = data + size;
    const std::string text = NextPart(&at, end);
    const std::string needle = NextPart(&at, end);
    const std::string replacement = NextPart(&at, end);

    const size_t match = FindNoCase(text, needle);
    size_t room = text.size() + 1;
    if (match != std::string::npos && replacement.size() > needle.size()) {
        room += replacement.size() - needle.size();
    }
    char* storage = static_cast<char*>(malloc(room));
    FUZZ_CHECK(storage != NULL);
    memcpy(storage, text.c_str(), text.size() + 1);

    ResetFakes();
    char* result = ReplaceFirstNoCase(storage, needle.c_str(), replacement.c_str());

    if (match == std::string::npos) {
        FUZZ_CHECK(result == NULL);
        FUZZ_CHECK(memcmp(storage, text.c_str(), text.size() + 1) == 0);
    } else {
        const std::string expected =
            text.substr(0, match) + replacement + text.substr(match + needle.size());
        FUZZ_CHECK(result == storage);
        FUZZ_CHECK(strlen(storage) == expected.size());
        FUZZ_CHECK(memcmp(storage, expected.c_str(), expected.size() + 1) == 0);
    }
    free(storage);
    return 0;
}
