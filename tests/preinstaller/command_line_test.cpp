// The pre-installer's command line: what it takes as the action and its name, which switches
// go with it, and what it refuses.
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
    {"unknown_switch", L"p.exe /X", kCommandLineUnknown, L""},
    {"unknown_switch_after_path", L"p.exe /I a.inf /X", kCommandLineUnknown, L""},
    {"switch_alone_is_no_action", L"p.exe /Q", kCommandLineNoInf, L""},
    {"quiet_after_path", L"p.exe /I a.inf /Q", kCommandLineOk, L"a.inf"},
    {"uninstall_staged_name", L"p.exe /U oem12.inf", kCommandLineOk, L"oem12.inf"},
    {"uninstall_quoted_path", L"p.exe /u \"C:\\my dist\\a.inf\" /q", kCommandLineOk,
     L"C:\\my dist\\a.inf"},
    {"uninstall_without_name", L"p.exe /U", kCommandLineNoInf, L""},
    {"uninstall_with_only_a_switch", L"p.exe /U /Q", kCommandLineNoInf, L""},
    {"list", L"p.exe /L", kCommandLineOk, L""},
    {"list_with_a_word", L"p.exe /L oem1.inf", kCommandLineUnknown, L""},
    {"install_and_uninstall", L"p.exe /I a.inf /U oem1.inf", kCommandLineSecondAction, L""},
    {"list_and_install", L"p.exe /L /I a.inf", kCommandLineSecondAction, L""},
    {"both_restart_switches", L"p.exe /I a.inf /norestart /forcerestart", kCommandLineConflict,
     L""},
    {"list_with_restart_switch", L"p.exe /L /forcerestart", kCommandLineConflict, L""},
    {"restart_switch_glued", L"p.exe /I a.inf /norestarts", kCommandLineUnknown, L""},
    {"switch_glued_to_word", L"p.exe /Ia.inf", kCommandLineUnknown, L""},
    {"dash_switch", L"p.exe -I a.inf", kCommandLineUnknown, L""},
    {"word_after_quoted_path", L"p.exe /I \"a.inf\" more", kCommandLineUnknown, L""},
    {"second_switch", L"p.exe /I a.inf /I b.inf", kCommandLineSecondAction, L""},
    {"second_switch_quoted", L"p.exe /I \"a.inf\" /i \"b.inf\"", kCommandLineSecondAction, L""},
};

// Names the row in test output instead of dumping its bytes.
void PrintTo(const CommandLineCase& c, std::ostream* os) {
    *os << c.name;
}

class CommandLineTest : public testing::TestWithParam<CommandLineCase> {};

// Which action and switches a line gives, each switch in any order and letter case.
struct SwitchCase {
    const char* name;
    const wchar_t* line;
    PreinstallerAction action;
    bool quiet;
    bool no_restart;
    bool force_restart;
};

static const SwitchCase kSwitchCases[] = {
    {"install_alone", L"p.exe /I a.inf", kActionInstall, false, false, false},
    {"install_quiet_first", L"p.exe /Q /I a.inf", kActionInstall, true, false, false},
    {"install_norestart_upper", L"p.exe /I a.inf /NORESTART", kActionInstall, false, true, false},
    {"uninstall_all_mixed_case", L"p.exe /FoRcErEsTaRt /u oem3.inf /q", kActionUninstall, true,
     false, true},
    {"uninstall_norestart_before", L"p.exe /norestart /U oem3.inf", kActionUninstall, false, true,
     false},
    {"list_quiet", L"p.exe /q /l", kActionList, true, false, false},
};

void PrintTo(const SwitchCase& c, std::ostream* os) {
    *os << c.name;
}

class CommandLineSwitchTest : public testing::TestWithParam<SwitchCase> {};

TEST_P(CommandLineSwitchTest, GivesTheActionAndSwitches) {
    const SwitchCase& c = GetParam();
    const ParsedCommandLine parsed = ParseCommandLine(c.line);
    ASSERT_EQ(parsed.result, kCommandLineOk);
    EXPECT_EQ(parsed.action, c.action);
    EXPECT_EQ(parsed.quiet, c.quiet);
    EXPECT_EQ(parsed.no_restart, c.no_restart);
    EXPECT_EQ(parsed.force_restart, c.force_restart);
}

INSTANTIATE_TEST_SUITE_P(Cases, CommandLineSwitchTest, testing::ValuesIn(kSwitchCases),
                         [](const testing::TestParamInfo<SwitchCase>& info) {
                             return std::string(info.param.name);
                         });

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
