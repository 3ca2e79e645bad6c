// The pre-installer's steps against the fakes: which driver calls it makes, with what, and the
// exit code and log line of every outcome that Windows can give.
#include <gtest/gtest.h>

#include <string>

#include "fake_preinstaller_api.h"
#include "inf/inf_text.h"
#include "preinstaller/log.h"
#include "preinstaller/preinstall.h"

namespace {

static const wchar_t kInfPath64[] = L"C:\\dist\\Drive\\Tavix\\amd64\\quenusb.inf";
static const wchar_t kLine64[] =
    L"Drive\\amd64\\QZDrvPrep_x64.exe /I Drive\\Tavix\\amd64\\quenusb.inf";
static const wchar_t kLine32[] =
    L"Drive\\i386\\QZDrvPrep_x86.exe /I Drive\\Tavix\\amd64\\quenusb.inf";
static const wchar_t kId1[] = L"USB\\VID_F055&PID_0A11";
static const wchar_t kId2[] = L"USB\\VID_F055&PID_0A12";

static const char kInf[] =
    "[Version]\nSignature=\"$Windows NT$\"\n"
    "[Manufacturer]\n%V%=Models,NTamd64\n"
    "[Models]\nD=Inst, USB\\VID_F055&PID_0A11\n"
    "[Models.NTamd64]\nD=Inst, USB\\VID_F055&PID_0A11, USB\\VID_F055&PID_0A12 ; two IDs\n"
    "[Strings]\nV=\"Sample\"\n";
static const char kInfUndecorated[] =
    "[Manufacturer]\nV=Models\n[Models]\nD=Inst, USB\\VID_F055&PID_0A11\n";

enum InfKind { kNoInf, kAnsi, kUtf16, kFolder, kEmpty, kTooLarge, kUndecorated, kNotText };

static std::string Utf16Le(const std::string& ascii) {
    std::string bytes = "\xff\xfe";
    for (size_t i = 0; i < ascii.size(); ++i) {
        bytes.push_back(ascii[i]);
        bytes.push_back('\0');
    }
    return bytes;
}

static void LayInf(InfKind kind) {
    FakeFile file = {false, kInf};
    switch (kind) {
        case kNoInf:
            return;
        case kAnsi:
            break;
        case kUtf16:
            file.bytes = Utf16Le(kInf);
            break;
        case kFolder:
            file.is_folder = true;
            file.bytes.clear();
            break;
        case kEmpty:
            file.bytes.clear();
            break;
        case kTooLarge:
            file.bytes.append(kInfReadLimit, ';');
            break;
        case kUndecorated:
            file.bytes = kInfUndecorated;
            break;
        case kNotText:
            file.bytes = std::string("[Version]\0\0", 11);
            break;
    }
    preinstaller_fakes.files[kInfPath64] = file;
}

// The last line of the log, without its line end.
static std::string LastLogLine() {
    const std::string& log = preinstaller_fakes.log;
    if (log.size() < 2) {
        return "";
    }
    const size_t start = log.rfind("\r\n", log.size() - 3);
    return log.substr(start == std::string::npos ? 0 : start + 2,
                      log.size() - 2 - (start == std::string::npos ? 0 : start + 2));
}

static const DWORD kAbsent = ERROR_NO_SUCH_DEVINST;

// What one run must end with: its exit code, how many driver calls it made, the step of its
// last log line, and a part of the log.
struct Expected {
    DWORD exit_code;
    size_t copy_calls;
    size_t update_calls;
    const char* last_step;
    const char* log_part;
};

// Names the rows in test names and output instead of dumping their fields.
template <typename Case>
std::string NameOf(const testing::TestParamInfo<Case>& info) {
    return info.param.name;
}
template <typename Case>
void PrintCaseName(const Case& c, std::ostream* os) {
    *os << c.name;
}

class PreinstallTest : public testing::Test {
protected:
    void SetUp() override {
        ResetPreinstallerFakes();
    }

    // Runs `build` with `line` and checks the outcome; only the 32-bit build asks about WOW64,
    // and only once its command line is good.
    static void RunAndExpect(WindowsKind build, const wchar_t* line, const Expected& expected) {
        EXPECT_EQ(RunPreinstaller(build, line), expected.exit_code);
        EXPECT_EQ(preinstaller_fakes.copy_calls.size(), expected.copy_calls);
        EXPECT_EQ(preinstaller_fakes.update_calls.size(), expected.update_calls);
        EXPECT_EQ(preinstaller_fakes.is_wow64_calls,
                  build == kWindows32Bit && expected.exit_code != ERROR_INVALID_PARAMETER ? 1 : 0)
            << "only the 32-bit build asks whether it runs under WOW64";
        const std::string last = LastLogLine();
        EXPECT_NE(last.find(std::string(" | ") + expected.last_step + " | "), std::string::npos)
            << last;
        EXPECT_NE(preinstaller_fakes.log.find(expected.log_part), std::string::npos)
            << preinstaller_fakes.log;
    }
};

// The command line, before anything else is looked at.
struct ArgumentsCase {
    const char* name;
    const wchar_t* line;
    Expected expected;
};

void PrintTo(const ArgumentsCase& c, std::ostream* os) {
    PrintCaseName(c, os);
}

static const ArgumentsCase kArgumentsCases[] = {
    {"bad_command_line",
     L"QZDrvPrep_x64.exe /X",
     {ERROR_INVALID_PARAMETER, 0, 0, "arguments", "| - | 87 | error 87. | unknown argument '/X'"}},
    {"second_inf_switch",
     L"p.exe /I a.inf /I b.inf",
     {ERROR_INVALID_PARAMETER, 0, 0, "arguments", "more than one of /I, /U and /L"}},
    {"uninstall_without_name",
     L"p.exe /U /Q",
     {ERROR_INVALID_PARAMETER, 0, 0, "arguments", "/U names no staged INF or INF path"}},
};

class PreinstallArgumentsTest : public PreinstallTest,
                                public testing::WithParamInterface<ArgumentsCase> {};

TEST_P(PreinstallArgumentsTest, RefusedBeforeAnyFileOrDriverCall) {
    LayInf(kAnsi);
    RunAndExpect(kWindows64Bit, GetParam().line, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, PreinstallArgumentsTest, testing::ValuesIn(kArgumentsCases),
                         NameOf<ArgumentsCase>);

// The 32-bit build on either kind of Windows.
struct Wow64Case {
    const char* name;
    BOOL wow64;
    Expected expected;
};

void PrintTo(const Wow64Case& c, std::ostream* os) {
    PrintCaseName(c, os);
}

static const Wow64Case kWow64Cases[] = {
    {"x86_build_on_64_bit_windows",
     TRUE,
     {ERROR_IN_WOW64, 0, 0, "wow64",
      "| 0xE0000235 | error 3758096949. | this 32-bit build runs on 64-bit Windows"}},
    {"x86_build_on_32_bit_windows", FALSE, {0, 1, 1, "done", "| x86 | read |"}},
};

class PreinstallWow64Test : public PreinstallTest, public testing::WithParamInterface<Wow64Case> {};

TEST_P(PreinstallWow64Test, RefusesOnlyUnderWow64) {
    LayInf(kAnsi);
    preinstaller_fakes.is_wow64 = GetParam().wow64;
    RunAndExpect(kWindows32Bit, kLine32, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, PreinstallWow64Test, testing::ValuesIn(kWow64Cases),
                         NameOf<Wow64Case>);

// Reading the INF: each kind of file that can stand at its path.
struct ReadCase {
    const char* name;
    InfKind inf;
    Expected expected;
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    PrintCaseName(c, os);
}

static const ReadCase kReadCases[] = {
    {"inf_missing",
     kNoInf,
     {ERROR_FILE_NOT_FOUND, 0, 0, "read",
      "C:\\dist\\Drive\\Tavix\\amd64\\quenusb.inf | 2 | error 2. | the INF is not there"}},
    {"inf_is_a_folder", kFolder, {ERROR_DIRECTORY_NOT_SUPPORTED, 0, 0, "read", "names a folder"}},
    {"inf_empty", kEmpty, {ERROR_INVALID_DATA, 0, 0, "read", "the INF is empty"}},
    {"inf_not_text", kNotText, {ERROR_INVALID_DATA, 0, 0, "read", "holds a NUL character"}},
    {"inf_utf16le", kUtf16, {0, 1, 2, "done", "2 hardware ID(s)"}},
    {"inf_above_the_cap", kTooLarge, {ERROR_FILE_TOO_LARGE, 0, 0, "read", "larger than 4 MiB"}},
    {"no_models_for_this_build",
     kUndecorated,
     {ERROR_SECTION_NOT_FOUND, 0, 0, "read", "no models section decorated NTamd64"}},
};

class PreinstallReadTest : public PreinstallTest, public testing::WithParamInterface<ReadCase> {};

TEST_P(PreinstallReadTest, StagesOnlyAReadableInfWithModelsForThisBuild) {
    LayInf(GetParam().inf);
    RunAndExpect(kWindows64Bit, kLine64, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, PreinstallReadTest, testing::ValuesIn(kReadCases),
                         NameOf<ReadCase>);

// The driver calls: how Windows answers staging, and updating each hardware ID's devices.
struct DriverCase {
    const char* name;
    DWORD copy_error;  // 0: staged
    UpdateAnswer id1;  // the first ID's devices
    DWORD id2_error;   // the second ID's devices, never asking for a restart
    Expected expected;
};

static const UpdateAnswer kNoDevice = {kAbsent, FALSE};

void PrintTo(const DriverCase& c, std::ostream* os) {
    PrintCaseName(c, os);
}

static const DriverCase kDriverCases[] = {
    {"no_device_plugged_in",
     0,
     kNoDevice,
     kAbsent,
     {0, 1, 2, "done",
      "no device with USB\\VID_F055&PID_0A11 is plugged in; pre-installed for it"}},
    {"device_present",
     0,
     {0, FALSE},
     kAbsent,
     {0, 1, 2, "done", "installed on the present devices with USB\\VID_F055&PID_0A11"}},
    {"restart_needed", 0, {0, TRUE}, kAbsent, {3010, 1, 2, "done", "Windows asks for a restart"}},
    {"staging_access_denied",
     ERROR_ACCESS_DENIED,
     kNoDevice,
     kAbsent,
     {ERROR_ACCESS_DENIED, 1, 0, "stage", "| 5 | error 5. | could not stage the package"}},
    {"copy_failed",
     ERROR_FILE_NOT_FOUND,
     kNoDevice,
     kAbsent,
     {ERROR_FILE_NOT_FOUND, 1, 0, "stage", "could not stage"}},
    {"update_access_denied",
     0,
     {ERROR_ACCESS_DENIED, FALSE},
     kAbsent,
     {ERROR_ACCESS_DENIED, 1, 1, "update", "could not install for USB\\VID_F055&PID_0A11"}},
    {"second_id_fails_after_first_absent",
     0,
     kNoDevice,
     ERROR_ACCESS_DENIED,
     {ERROR_ACCESS_DENIED, 1, 2, "update", "could not install for USB\\VID_F055&PID_0A12"}},
};

class PreinstallDriverTest : public PreinstallTest,
                             public testing::WithParamInterface<DriverCase> {};

TEST_P(PreinstallDriverTest, ExitCodeFollowsWindowsAnswers) {
    const DriverCase& c = GetParam();
    LayInf(kAnsi);
    preinstaller_fakes.copy_error = c.copy_error;
    if (c.id1.error != kAbsent) {
        preinstaller_fakes.update_answers[kId1] = c.id1;
    }
    if (c.id2_error != kAbsent) {
        preinstaller_fakes.update_answers[kId2] = UpdateAnswer{c.id2_error, FALSE};
    }
    RunAndExpect(kWindows64Bit, kLine64, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, PreinstallDriverTest, testing::ValuesIn(kDriverCases),
                         NameOf<DriverCase>);

TEST_F(PreinstallTest, LogThatCannotBeWrittenDoesNotStopTheWork) {
    LayInf(kAnsi);
    preinstaller_fakes.log_fails = true;
    EXPECT_EQ(RunPreinstaller(kWindows64Bit, kLine64), 0u);
    EXPECT_EQ(preinstaller_fakes.copy_calls.size(), 1u);
    EXPECT_EQ(preinstaller_fakes.update_calls.size(), 2u);
    EXPECT_TRUE(preinstaller_fakes.log.empty());
    EXPECT_FALSE(preinstaller_fakes.log_paths.empty()) << "it tried to write the log";
}

class PreinstallCallsTest : public testing::Test {
protected:
    void SetUp() override {
        ResetPreinstallerFakes();
    }
};

TEST_F(PreinstallCallsTest, StagesTheFullPathThenUpdatesEachIdInOrder) {
    LayInf(kAnsi);
    ASSERT_EQ(RunPreinstaller(kWindows64Bit, kLine64), 0u);

    ASSERT_EQ(preinstaller_fakes.copy_calls.size(), 1u);
    const SetupCopyOEMInfWCall& copy = preinstaller_fakes.copy_calls[0];
    EXPECT_EQ(copy.source, kInfPath64);
    EXPECT_TRUE(copy.media_location_is_null);
    EXPECT_EQ(copy.media_type, static_cast<DWORD>(SPOST_PATH));
    EXPECT_EQ(copy.copy_style, 0u);

    ASSERT_EQ(preinstaller_fakes.update_calls.size(), 2u);
    const wchar_t* const ids[] = {kId1, kId2};
    for (size_t i = 0; i < 2; ++i) {
        const UpdateDriverCall& update = preinstaller_fakes.update_calls[i];
        EXPECT_TRUE(update.parent_is_null);
        EXPECT_EQ(update.hardware_id, ids[i]);
        EXPECT_EQ(update.inf, kInfPath64);
        EXPECT_EQ(update.flags, 0u);
    }
    const std::vector<std::string> order = {"SetupCopyOEMInfW",
                                            "UpdateDriverForPlugAndPlayDevicesW",
                                            "UpdateDriverForPlugAndPlayDevicesW"};
    EXPECT_EQ(preinstaller_fakes.sequence, order);
}

TEST_F(PreinstallCallsTest, LogsOneLinePerStepInTheTempFolder) {
    LayInf(kAnsi);
    ASSERT_EQ(RunPreinstaller(kWindows64Bit, kLine64), 0u);
    for (size_t i = 0; i < preinstaller_fakes.log_paths.size(); ++i) {
        EXPECT_EQ(preinstaller_fakes.log_paths[i], std::wstring(L"C:\\Temp\\QZDrvPrep.log"));
    }
    const std::string expected =
        "2026-12-09 10:11:12 | x64 | read | C:\\dist\\Drive\\Tavix\\amd64\\quenusb.inf | 0 | error "
        "0. | "
        "2 hardware ID(s): USB\\VID_F055&PID_0A11, USB\\VID_F055&PID_0A12\r\n"
        "2026-12-09 10:11:12 | x64 | catalog | C:\\dist\\Drive\\Tavix\\amd64\\quenusb.inf | 0 | "
        "error 0. | quenusb.inf names no catalog: the package is unsigned\r\n"
        "2026-12-09 10:11:12 | x64 | trust | C:\\dist\\Drive\\Tavix\\amd64\\quenusb.inf | 0 | "
        "error 0. | unsigned: Windows will ask an administrator or refuse\r\n"
        "2026-12-09 10:11:12 | x64 | stage | C:\\dist\\Drive\\Tavix\\amd64\\quenusb.inf | 0 | "
        "error 0. | "
        "in the driver store as C:\\Windows\\INF\\oem7.inf\r\n"
        "2026-12-09 10:11:12 | x64 | record | C:\\dist\\Drive\\Tavix\\amd64\\quenusb.inf | 0 | "
        "error 0. | Programs and Features entry QZDrvPrep_";
    EXPECT_EQ(preinstaller_fakes.log.substr(0, expected.size()), expected);
    // read, catalog, trust, stage, record, two updates, done.
    EXPECT_EQ(preinstaller_fakes.log_paths.size(), 8u);
}

TEST_F(PreinstallCallsTest, NonAsciiPathWithBlanksReachesTheCallsWhole) {
    const std::wstring path = L"D:\\Pilotes \u00e9t\u00e9\\\u6f22\\quenusb.inf";
    preinstaller_fakes.files[path] = FakeFile{false, kInf};
    ASSERT_EQ(RunPreinstaller(kWindows64Bit, (L"p.exe /I \"" + path + L"\"").c_str()), 0u);
    ASSERT_EQ(preinstaller_fakes.copy_calls.size(), 1u);
    EXPECT_EQ(preinstaller_fakes.copy_calls[0].source, path);
    EXPECT_NE(
        preinstaller_fakes.log.find("D:\\Pilotes \xc3\xa9t\xc3\xa9\\\xe6\xbc\xa2\\quenusb.inf"),
        std::string::npos)
        << "the log is UTF-8";
}

TEST_F(PreinstallCallsTest, PathLongerThanMaxPathIsRefusedBeforeAnyFileCall) {
    const std::wstring path = L"C:\\" + std::wstring(300, L'd') + L"\\quenusb.inf";
    preinstaller_fakes.files[path] = FakeFile{false, kInf};
    EXPECT_EQ(RunPreinstaller(kWindows64Bit, (L"p.exe /I " + path).c_str()),
              static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_TRUE(preinstaller_fakes.copy_calls.empty());
    EXPECT_NE(preinstaller_fakes.log.find("at most 259 work"), std::string::npos)
        << preinstaller_fakes.log;
}

TEST_F(PreinstallCallsTest, StagingTwiceIsNoError) {
    LayInf(kAnsi);
    EXPECT_EQ(RunPreinstaller(kWindows64Bit, kLine64), 0u);
    EXPECT_EQ(RunPreinstaller(kWindows64Bit, kLine64), 0u);
    EXPECT_EQ(preinstaller_fakes.copy_calls.size(), 2u);
}

}  // namespace
