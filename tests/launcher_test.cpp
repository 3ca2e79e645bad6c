// LaunchPreinstaller: one hidden "Open" request for the matching build, whatever the
// arguments and whatever the shell answers, and always the result 0.
#include <gtest/gtest.h>

#include <stdint.h>

#include "fake_winapi.h"
#include "launcher/launcher.h"

namespace {

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
                EXPECT_EQ(fake_call_sequence.front(), "GetSystemDirectoryA");
                EXPECT_EQ(fake_call_sequence.back(), "ShellExecuteA");
            }
        }
    }
}

}  // namespace
