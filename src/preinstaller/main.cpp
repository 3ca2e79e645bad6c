// Process entry of QZDrvPrep_x86.exe and QZDrvPrep_x64.exe: one source, the build decides
// which architecture's driver models it installs.
#include "launcher/launcher.h"
#include "preinstaller/preinstall.h"

#if defined(_M_X64) || defined(__x86_64__)
static const InfArch kBuild = kInfAmd64;
#else
static const InfArch kBuild = kInfX86;
#endif

int main() {
    // Started from the distribution folder like the launcher: no DLLs out of it either.
    RestrictDllSearch();
    return static_cast<int>(RunPreinstaller(kBuild, GetCommandLineW()));
}
