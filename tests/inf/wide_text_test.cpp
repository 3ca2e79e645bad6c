// UTF-8 and wide text both ways, with the characters that paths and INFs really hold.
#include <gtest/gtest.h>

#include "inf/wide_text.h"

namespace {

struct WideCase {
    const char* name;
    const char* utf8;
    const wchar_t* wide;
};

static const WideCase kCases[] = {
    {"ascii", "C:\\Drive\\x.inf", L"C:\\Drive\\x.inf"},
    {"latin", "Pilotes \xc3\xa9t\xc3\xa9", L"Pilotes \u00e9t\u00e9"},
    {"cjk", "\xe6\xbc\xa2\xe5\xad\x97", L"\u6f22\u5b57"},
    {"outside_the_bmp", "\xf0\x9f\x98\x80", L"\xd83d\xde00"},
    {"empty", "", L""},
};

// Names the row in test output instead of dumping its bytes.
void PrintTo(const WideCase& c, std::ostream* os) {
    *os << c.name;
}

class WideTextTest : public testing::TestWithParam<WideCase> {};

TEST_P(WideTextTest, RoundTrips) {
    const WideCase& c = GetParam();
    EXPECT_EQ(WideFromUtf8(c.utf8), std::wstring(c.wide));
    EXPECT_EQ(Utf8FromWide(c.wide), std::string(c.utf8));
}

INSTANTIATE_TEST_SUITE_P(Cases, WideTextTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<WideCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(WideTextTest, MalformedUtf8BecomesReplacement) {
    // A lone continuation byte, a cut sequence, an overlong '/', an encoded surrogate.
    EXPECT_EQ(WideFromUtf8("a\x80"
                           "b"),
              std::wstring(L"a\ufffdb"));
    EXPECT_EQ(WideFromUtf8("\xe6\xbc"), std::wstring(L"\ufffd\ufffd"));
    EXPECT_EQ(WideFromUtf8("\xc0\xaf"), std::wstring(L"\ufffd\ufffd"));
    EXPECT_EQ(WideFromUtf8("\xed\xa0\x80"), std::wstring(L"\ufffd\ufffd\ufffd"));
}

}  // namespace
