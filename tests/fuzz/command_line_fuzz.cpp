// Fuzz target: the pre-installer's command line, as arbitrary UTF-16 code units. Checks that
// every answer is whole: an accepted line has one action, a name where the action takes one
// and never both restart switches; a refused one says why.
// Input: the line's code units, two bytes each, little-endian; a NUL ends it early.
#include <stddef.h>
#include <stdint.h>

#include <string>

#include "fuzz_check.h"
#include "preinstaller/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::wstring line;
    for (size_t i = 0; i + 1 < size; i += 2) {
        const wchar_t unit = static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
        if (unit == L'\0') {
            break;
        }
        line.push_back(unit);
    }
    const ParsedCommandLine parsed = ParseCommandLine(line.c_str());
    if (parsed.result != kCommandLineOk) {
        FUZZ_CHECK(!parsed.reason.empty());
        return 0;
    }
    FUZZ_CHECK(parsed.reason.empty());
    FUZZ_CHECK(parsed.action != kActionNone);
    FUZZ_CHECK(parsed.inf.empty() == (parsed.action == kActionList));
    FUZZ_CHECK(!(parsed.no_restart && parsed.force_restart));
    FUZZ_CHECK(line.find(parsed.inf) != std::wstring::npos);
    return 0;
}
