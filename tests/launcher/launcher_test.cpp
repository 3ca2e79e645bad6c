// LaunchPreinstaller: DLL search restricted first, then one hidden "Open" request for the
// matching build, whatever the arguments and whatever the shell answers, and always 0.
#include <gtest/gtest.h>

#include <stdint.h>

#include <algorithm>
#include <string>
#include <vector>

#include "win/fake_winapi.h"
#include "launcher/launcher.h"

namespace {

// The faked calls made before the first one named `name` (all of them if it was not made).
std::vector<std::string> CallsBefore(const char* name) {
    const std::vector<std::string>& calls = fake_call_sequence;
    return std::vector<std::string>(calls.begin(), std::find(calls.begin(), calls.end(), name));
}

struct LaunchCase {
    const char* name;
    const char* system_directory;
    BOOL sysWow64_exists;
    const char* expected_file;
    const char* expected_parameters;
};

static const LaunchCase kLaunchCases[] = {
    {"64-bit Windows", "C:\\WINDOWS\\system32", TRUE, "Drive\\amd64\\QZDrvPrep_x64.exe",
     "/I Drive\\Tavix\\amd64\\quenusb.inf"},
    {"32-bit Windows", "C:\\WINDOWS\\system32", FALSE, "Drive\\i386\\QZDrvPrep_x86.exe",
     "/I Drive\\Tavix\\x86\\quenusb.inf"},
    {"64-bit Windows outside a WINDOWS folder", "C:\\WINNT\\system32", TRUE,
     "Drive\\i386\\QZDrvPrep_x86.exe", "/I Drive\\Tavix\\x86\\quenusb.inf"},
};

static char kProgram[] = "DriverSetup.exe";
static char kSwitch[] = "/I";
static char kOtherInf[] = "C:\\elsewhere\\other.inf";
static char kVariable[] = "PROCESSOR_ARCHITECTURE=AMD64";
static char* kSomeArguments[] = {kProgram, kSwitch, kOtherInf, NULL};
static char* kSomeEnvironment[] = {kVariable, NULL};
static char* kNothing[] = {NULL};

struct Invocation {
    const char* name;
    int argc;
    char** argv;
    char** envp;
};

static const Invocation kInvocations[] = {
    {"no arguments", 1, kSomeArguments, kNothing},
    {"extra arguments and environment", 3, kSomeArguments, kSomeEnvironment},
    {"null vectors", 0, NULL, NULL},
};

// Success (above 32), file not found (2) and out of resources (0) must all end alike.
static const intptr_t kShellResults[] = {42, 2, 0};

TEST(LaunchPreinstaller, OneHiddenOpenRequestForTheMatchingBuild) {
    for (const LaunchCase& row : kLaunchCases) {
        for (const Invocation& invocation : kInvocations) {
            for (intptr_t shell_result : kShellResults) {
                SCOPED_TRACE(::testing::Message() << row.name << ", " << invocation.name
                                                  << ", shell returns " << shell_result);
                ResetFakes();
                SetSystemDirectory(row.system_directory);
                PathFileExistsA_fake.return_val = row.sysWow64_exists;
                ShellExecuteA_fake.return_val = reinterpret_cast<HINSTANCE>(shell_result);

                EXPECT_EQ(LaunchPreinstaller(invocation.argc, invocation.argv, invocation.envp), 0);

                ASSERT_EQ(ShellExecuteA_fake.call_count, 1);
                const ShellExecuteACall& call = ShellExecuteA_fake.calls[0];
                EXPECT_EQ(call.hwnd, nullptr);
                EXPECT_FALSE(call.lpOperation.is_null);
                EXPECT_EQ(call.lpOperation.text, "Open");
                EXPECT_FALSE(call.lpFile.is_null);
                EXPECT_EQ(call.lpFile.text, row.expected_file);
                EXPECT_FALSE(call.lpParameters.is_null);
                EXPECT_EQ(call.lpParameters.text, row.expected_parameters);
                EXPECT_TRUE(call.lpDirectory.is_null);
                EXPECT_EQ(call.nShowCmd, 0);
                // The probe answers before the request, and the request is the last call.
                EXPECT_LT(CallsBefore("GetSystemDirectoryA").size(),
                          CallsBefore("ShellExecuteA").size());
                EXPECT_EQ(fake_call_sequence.back(), "ShellExecuteA");
            }
        }
    }
}

struct HardeningCase {
    const char* name;
    bool kernel32_found;
    bool has_set_default;
    BOOL set_default_result;
    bool has_set_directory;
    BOOL set_directory_result;
    const char* expected_calls;  // all made before the probe starts, blank-separated
};

static const HardeningCase kHardeningCases[] = {
    {"SetDefaultDllDirectories available", true, true, TRUE, true, TRUE,
     "GetModuleHandleA GetProcAddress SetDefaultDllDirectories"},
    {"SetDefaultDllDirectories refused: SetDllDirectoryA", true, true, FALSE, true, TRUE,
     "GetModuleHandleA GetProcAddress SetDefaultDllDirectories GetProcAddress SetDllDirectoryA"},
    {"SetDefaultDllDirectories missing: SetDllDirectoryA", true, false, TRUE, true, TRUE,
     "GetModuleHandleA GetProcAddress GetProcAddress SetDllDirectoryA"},
    {"both missing: nothing to call", true, false, TRUE, false, TRUE,
     "GetModuleHandleA GetProcAddress GetProcAddress"},
    {"both refused: still launches", true, true, FALSE, true, FALSE,
     "GetModuleHandleA GetProcAddress SetDefaultDllDirectories GetProcAddress SetDllDirectoryA"},
    {"no kernel32 handle: nothing to look up", false, true, TRUE, true, TRUE, "GetModuleHandleA"},
};

std::string Joined(const std::vector<std::string>& calls) {
    std::string joined;
    for (const std::string& call : calls) {
        joined += (joined.empty() ? "" : " ") + call;
    }
    return joined;
}

TEST(LaunchPreinstaller, RestrictsDllSearchFirstWithFallbacks) {
    for (const HardeningCase& row : kHardeningCases) {
        SCOPED_TRACE(row.name);
        ResetFakes();
        SetSystemDirectory("C:\\WINDOWS\\system32");
        PathFileExistsA_fake.return_val = TRUE;
        if (!row.kernel32_found) {
            GetModuleHandleA_fake.return_val = NULL;
        }
        GetProcAddress_fake.has_SetDefaultDllDirectories = row.has_set_default;
        SetDefaultDllDirectories_fake.return_val = row.set_default_result;
        GetProcAddress_fake.has_SetDllDirectoryA = row.has_set_directory;
        SetDllDirectoryA_fake.return_val = row.set_directory_result;

        EXPECT_EQ(LaunchPreinstaller(0, NULL, NULL), 0);

        EXPECT_EQ(Joined(CallsBefore("GetSystemDirectoryA")), row.expected_calls);
        EXPECT_EQ(ShellExecuteA_fake.call_count, 1);
        EXPECT_EQ(fake_call_sequence.back(), "ShellExecuteA");
        for (const RecordedString& module : GetModuleHandleA_fake.arg_lpModuleName) {
            EXPECT_FALSE(module.is_null);
            EXPECT_EQ(module.text, "kernel32.dll");
        }
        static const char* const kLookupOrder[] = {"SetDefaultDllDirectories", "SetDllDirectoryA"};
        ASSERT_LE(GetProcAddress_fake.call_count, 2);
        for (int i = 0; i < GetProcAddress_fake.call_count; ++i) {
            EXPECT_EQ(GetProcAddress_fake.arg_hModule[i], kFakeKernel32);
            EXPECT_EQ(GetProcAddress_fake.arg_lpProcName[i].text, kLookupOrder[i]);
        }
        for (DWORD flags : SetDefaultDllDirectories_fake.arg_DirectoryFlags) {
            EXPECT_EQ(flags, 0x00000800u);  // LOAD_LIBRARY_SEARCH_SYSTEM32
        }
        for (const RecordedString& path : SetDllDirectoryA_fake.arg_lpPathName) {
            EXPECT_FALSE(path.is_null) << "a null path would restore the default search";
            EXPECT_EQ(path.text, "");
        }
    }
}

}  // namespace
