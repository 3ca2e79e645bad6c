// Keeps DLL loading out of the distribution folder, picks the pre-installer build from the
// SysWow64 probe and asks the shell to start it hidden.
#include "launcher/launcher.h"

#include <stddef.h>

#include "launcher/preinstaller_variants.h"
#include "probe/probe.h"
#include "winapi_seam.h"

static const char kShellVerb[] = "Open";

static const char kKernel32[] = "kernel32.dll";
// Windows 8, or Windows 7 and Vista with update KB2533623.
static const char kSetDefaultDllDirectories[] = "SetDefaultDllDirectories";
// Windows XP SP1 and later.
static const char kSetDllDirectoryA[] = "SetDllDirectoryA";
// An empty directory removes the current folder from the search without adding another.
static const char kNoExtraDllDirectory[] = "";

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFn)(DWORD directory_flags);
typedef BOOL(WINAPI* SetDllDirectoryAFn)(LPCSTR path_name);

// GetProcAddress hands back a generic function pointer; going through void (*)(void) is the
// cast that compilers accept between unrelated function types without a warning.
template <typename Fn>
static Fn AsFunction(FARPROC proc) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)(void)>(proc));
}

void RestrictDllSearch() {
    const HMODULE kernel32 = GetModuleHandleA(kKernel32);
    if (kernel32 == NULL) {
        return;
    }
    const FARPROC set_default = GetProcAddress(kernel32, kSetDefaultDllDirectories);
    if (set_default != NULL &&
        AsFunction<SetDefaultDllDirectoriesFn>(set_default)(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        return;
    }
    // Missing or refused: the older call at least keeps the current folder out.
    const FARPROC set_directory = GetProcAddress(kernel32, kSetDllDirectoryA);
    if (set_directory != NULL) {
        AsFunction<SetDllDirectoryAFn>(set_directory)(kNoExtraDllDirectory);
    }
}

int LaunchPreinstaller(int /*argc*/, char* /*argv*/[], char* /*envp*/[]) {
    // Before anything can load a DLL on the launcher's behalf, the shell above all.
    RestrictDllSearch();
    const PreinstallerVariant& variant = kPreinstallerVariants[HasSysWow64Directory() ? 1 : 0];
    // The shell's answer is deliberately unused: there is no fallback and nothing to report.
    ShellExecuteA(NULL, kShellVerb, variant.lpFile, variant.lpParameters, NULL, SW_HIDE);
    return 0;
}
