// Picks the pre-installer build from the SysWow64 probe and asks the shell to start it hidden.
#include "launcher/launcher.h"

#include <stddef.h>

#include "probe/probe.h"
#include "winapi_seam.h"

// One build of the pre-installer and the driver package it installs, as relative paths that
// the shell resolves against the launcher's working directory.
struct PreinstallerVariant {
    const char* lpFile;
    const char* lpParameters;
};

// Indexed by the probe's answer: 0 for 32-bit Windows, 1 where SysWow64 exists.
static const PreinstallerVariant kPreinstallerVariants[2] = {
    {"Drive\\i386\\QZDrvPrep_x86.exe", "/I Drive\\Tavix\\x86\\quenusb.inf"},
    {"Drive\\amd64\\QZDrvPrep_x64.exe", "/I Drive\\Tavix\\amd64\\quenusb.inf"},
};

static const char kShellVerb[] = "Open";

int LaunchPreinstaller(int /*argc*/, char* /*argv*/[], char* /*envp*/[]) {
    const PreinstallerVariant& variant = kPreinstallerVariants[HasSysWow64Directory() ? 1 : 0];
    // The shell's answer is deliberately unused: there is no fallback and nothing to report.
    ShellExecuteA(NULL, kShellVerb, variant.lpFile, variant.lpParameters, NULL, SW_HIDE);
    return 0;
}
