// The compiled-in table of the two pre-installer builds, as the launcher starts them.
#include "launcher/preinstaller_variants.h"

#define LAUNCHER_ROW(program, inf) {program, PREINSTALLER_INF_SWITCH inf},

const PreinstallerVariant kPreinstallerVariants[kWindowsKindCount] = {
    DRIVERSETUP_PREINSTALLER_BUILDS(LAUNCHER_ROW)};
