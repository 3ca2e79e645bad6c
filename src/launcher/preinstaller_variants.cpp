// The compiled-in table of the two pre-installer builds.
#include "launcher/preinstaller_variants.h"

const PreinstallerVariant kPreinstallerVariants[kWindowsKindCount] = {
    // kWindows32Bit
    {"Drive\\i386\\QZDrvPrep_x86.exe", PREINSTALLER_INF_SWITCH "Drive\\Tavix\\x86\\quenusb.inf"},
    // kWindows64Bit
    {"Drive\\amd64\\QZDrvPrep_x64.exe", PREINSTALLER_INF_SWITCH "Drive\\Tavix\\amd64\\quenusb.inf"},
};
