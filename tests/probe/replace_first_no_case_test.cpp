// ReplaceFirstNoCase: result, untouched storage past its contract, and the no-match case.
#include <gtest/gtest.h>
#include <string.h>

#include <vector>

#include "win/fake_winapi.h"
#include "probe/probe.h"
#include "probe/replace_first_no_case_cases.h"

namespace {

// Marks storage past the routine's contract, so a write there shows up.
const unsigned char kGuard = 0xA5;
const size_t kGuardBytes = 32;

TEST(ReplaceFirstNoCase, Table) {
    for (const ReplaceCase& row : kReplaceCases) {
        SCOPED_TRACE(row.name);
        ResetFakes();
        const size_t text_length = strlen(row.text);
        const size_t needle_length = strlen(row.needle);
        const size_t replacement_length = strlen(row.replacement);
        // Exactly the room the contract promises, whichever is larger before and after.
        size_t room = text_length + 1;
        if (row.expected != NULL && replacement_length > needle_length) {
            room += replacement_length - needle_length;
        }
        std::vector<unsigned char> storage(room + kGuardBytes, kGuard);
        memcpy(storage.data(), row.text, text_length + 1);
        const std::vector<unsigned char> before = storage;
        char* text = reinterpret_cast<char*>(storage.data());

        char* result = ReplaceFirstNoCase(text, row.needle, row.replacement);

        if (row.expected == NULL) {
            EXPECT_EQ(result, nullptr);
            EXPECT_EQ(storage, before);
        } else {
            EXPECT_EQ(result, text);
            EXPECT_STREQ(text, row.expected);
        }
        for (size_t i = room; i < storage.size(); ++i) {
            ASSERT_EQ(storage[i], kGuard) << "byte " << i << " past the contract was written";
        }
        ASSERT_EQ(StrStrIA_fake.call_count, 1);
        EXPECT_EQ(StrStrIA_fake.arg_pszFirst[0], row.text);
        EXPECT_EQ(StrStrIA_fake.arg_pszSrch[0], row.needle);
    }
}

}  // namespace
