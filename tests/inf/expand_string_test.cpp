// %strings% tokens expanded as Windows expands them, wherever they stand in a value.
#include <gtest/gtest.h>

#include <string>

#include "inf/inf_document.h"

namespace {

struct ExpandCase {
    const char* name;
    const char* value;
    const char* expanded;
};

static const char kInf[] =
    "[Version]\nSignature=\"$Windows NT$\"\n"
    "[Strings]\nMfg=\"Maker Inc\"\nDisk=\"Disk 1\"\nPct=\"50%\"\n";

static const ExpandCase kCases[] = {
    {"whole_value", "%Mfg%", "Maker Inc"},
    {"key_case_ignored", "%MFG%", "Maker Inc"},
    {"inside_a_longer_value", "By %Mfg% for you", "By Maker Inc for you"},
    {"two_tokens_side_by_side", "%Mfg%%Disk%", "Maker IncDisk 1"},
    {"double_percent_is_one", "100%%", "100%"},
    {"double_percent_alone", "%%", "%"},
    {"double_percent_before_a_token", "%%%Mfg%", "%Maker Inc"},
    {"unknown_key_stays", "a %Nope% b", "a %Nope% b"},
    {"lone_percent_stays", "50% off", "50% off"},
    {"expanded_text_is_not_expanded_again", "%Pct%%Mfg%", "50%Maker Inc"},
    {"no_tokens", "plain", "plain"},
    {"empty", "", ""},
};

void PrintTo(const ExpandCase& c, std::ostream* os) {
    *os << c.name;
}

class ExpandInfStringTest : public testing::TestWithParam<ExpandCase> {};

TEST_P(ExpandInfStringTest, ExpandsAsWindowsDoes) {
    const ExpandCase& c = GetParam();
    EXPECT_EQ(ExpandInfString(ParseInfText(kInf, kInfAnsiOrUtf8), c.value), c.expanded);
}

INSTANTIATE_TEST_SUITE_P(Cases, ExpandInfStringTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<ExpandCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(ExpandInfString, WithoutStringsSectionKeepsTokens) {
    EXPECT_EQ(ExpandInfString(ParseInfText("[Version]\n", kInfAnsiOrUtf8), "%Mfg% %%"), "%Mfg% %");
}

}  // namespace
