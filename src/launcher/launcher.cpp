// Picks the pre-installer build from the SysWow64 probe and asks the shell to start it hidden.
#include "launcher/launcher.h"

#include <stddef.h>

#include "launcher/preinstaller_variants.h"
#include "probe/probe.h"
#include "win/dll_search.h"
#include "win/windows_kinds.h"
#include "win/winapi_seam.h"

static const char kShellVerb[] = "Open";

int LaunchPreinstaller(int /*argc*/, char* /*argv*/[], char* /*envp*/[]) {
    // Before anything can load a DLL on the launcher's behalf, the shell above all.
    RestrictDllSearch();
    const PreinstallerVariant& variant =
        kPreinstallerVariants[HasSysWow64Directory() ? kWindows64Bit : kWindows32Bit];
    // The shell's answer is deliberately unused: there is no fallback and nothing to report.
    ShellExecuteA(NULL, kShellVerb, variant.lpFile, variant.lpParameters, NULL, SW_HIDE);
    return 0;
}
