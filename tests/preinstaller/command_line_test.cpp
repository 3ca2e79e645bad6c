// The pre-installer's command line: what it takes as the INF path, and what it refuses.
#include <gtest/gtest.h>

#include "preinstaller/command_line.h"

namespace {

struct CommandLineCase {
    const char* name;
    const wchar_t* line;
    CommandLineResult result;
    const wchar_t* inf;  // expected path when the result is ok
};

static const CommandLineCase kCases[] = {
    {"as_the_launcher_passes_it",
     L"Drive\\amd64\\QZDrvPrep_x64.exe /I Drive\\Tavix\\amd64\\quenusb.inf", kCommandLineOk,
     L"Drive\\Tavix\\amd64\\quenusb.inf"},
    {"quoted_program_with_blanks", L"\"C:\\my dist\\QZDrvPrep_x86.exe\" /I Drive\\x.inf",
     kCommandLineOk, L"Drive\\x.inf"},
    {"lower_case_switch", L"p.exe /i a.inf", kCommandLineOk, L"a.inf"},
    {"quoted_path_with_blanks", L"p.exe /I \"C:\\my dist\\a b.inf\"", kCommandLineOk,
     L"C:\\my dist\\a b.inf"},
    {"unquoted_path_with_blanks", L"p.exe /I C:\\my dist\\a b.inf", kCommandLineOk,
     L"C:\\my dist\\a b.inf"},
    {"quote_right_after_switch", L"p.exe /I\"a.inf\"", kCommandLineOk, L"a.inf"},
    {"non_ascii_path", L"p.exe /I C:\\Pilotes \u00e9t\u00e9\\\u6f22.inf", kCommandLineOk,
     L"C:\\Pilotes \u00e9t\u00e9\\\u6f22.inf"},
    {"blanks_around", L"p.exe   /I   a.inf  \t", kCommandLineOk, L"a.inf"},
    {"unterminated_quote", L"p.exe /I \"C:\\a b.inf", kCommandLineOk, L"C:\\a b.inf"},
    {"nothing", L"p.exe", kCommandLineNoInf, L""},
    {"only_blanks", L"\"p.exe\"   ", kCommandLineNoInf, L""},
    {"switch_without_path", L"p.exe /I", kCommandLineNoInf, L""},
    {"empty_quoted_path", L"p.exe /I \"\"", kCommandLineNoInf, L""},
    {"path_without_switch", L"p.exe a.inf", kCommandLineUnknown, L""},
    {"unknown_switch", L"p.exe /Q", kCommandLineUnknown, L""},
    {"unknown_switch_after_path", L"p.exe /I a.inf /Q", kCommandLineUnknown, L""},
    {"switch_glued_to_word", L"p.exe /Ia.inf", kCommandLineUnknown, L""},
    {"dash_switch", L"p.exe -I a.inf", kCommandLineUnknown, L""},
    {"word_after_quoted_path", L"p.exe /I \"a.inf\" more", kCommandLineUnknown, L""},
    {"second_switch", L"p.exe /I a.inf /I b.inf", kCommandLineSecondInf, L""},
    {"second_switch_quoted", L"p.exe /I \"a.inf\" /i \"b.inf\"", kCommandLineSecondInf, L""},
};

// Names the row in test output instead of dumping its bytes.
void PrintTo(const CommandLineCase& c, std::ostream* os) {
    *os << c.name;
}

class CommandLineTest : public testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineTest, ParsesAsExpected) {
    const CommandLineCase& c = GetParam();
    const ParsedCommandLine parsed = ParseCommandLine(c.line);
    EXPECT_EQ(parsed.result, c.result);
    if (c.result == kCommandLineOk) {
        EXPECT_EQ(parsed.inf, std::wstring(c.inf));
        EXPECT_TRUE(parsed.reason.empty());
    } else {
        EXPECT_FALSE(parsed.reason.empty()) << "a refusal says why";
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, CommandLineTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<CommandLineCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
