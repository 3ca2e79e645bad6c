// Keeps DLL loading out of the distribution folder, for the launcher and the pre-installer
// alike: both are started from that folder.
#include <stddef.h>

#include "launcher/launcher.h"
#include "winapi_seam.h"

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
