// Keeps DLL loading out of the distribution folder, for the launcher and the pre-installer
// alike: both are started from that folder.
#include "win/dll_search.h"

#include <stddef.h>

#include "win/optional_function.h"
#include "win/winapi_seam.h"

static const char kKernel32[] = "kernel32.dll";
// Windows 8, or Windows 7 and Vista with update KB2533623.
static const char kSetDefaultDllDirectories[] = "SetDefaultDllDirectories";
// Windows XP SP1 and later.
static const char kSetDllDirectoryA[] = "SetDllDirectoryA";
// An empty directory removes the current folder from the search without adding another.
static const char kNoExtraDllDirectory[] = "";

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFn)(DWORD directory_flags);
typedef BOOL(WINAPI* SetDllDirectoryAFn)(LPCSTR path_name);

void RestrictDllSearch() {
    const HMODULE kernel32 = GetModuleHandleA(kKernel32);
    if (kernel32 == NULL) {
        return;
    }
    const SetDefaultDllDirectoriesFn set_default =
        FindOptionalFunction<SetDefaultDllDirectoriesFn>(kernel32, kSetDefaultDllDirectories);
    if (set_default != NULL && set_default(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        return;
    }
    // Missing or refused: the older call at least keeps the current folder out.
    const SetDllDirectoryAFn set_directory =
        FindOptionalFunction<SetDllDirectoryAFn>(kernel32, kSetDllDirectoryA);
    if (set_directory != NULL) {
        set_directory(kNoExtraDllDirectory);
    }
}
