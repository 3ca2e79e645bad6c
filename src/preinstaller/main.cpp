// Process entry of QZDrvPrep_x86.exe and QZDrvPrep_x64.exe: one source, the build decides
// which architecture's driver models it installs.
#include "preinstaller/preinstall.h"
#include "win/dll_search.h"
#include "win/windows_kinds.h"

#if defined(_M_X64) || defined(__x86_64__)
static const WindowsKind kBuild = kWindows64Bit;
#else
static const WindowsKind kBuild = kWindows32Bit;
#endif

int main() {
    // Started from the distribution folder like the launcher: no DLLs out of it either.
    RestrictDllSearch();
    return static_cast<int>(RunPreinstaller(kBuild, GetCommandLineW()));
}
