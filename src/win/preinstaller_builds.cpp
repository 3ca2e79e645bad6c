// The table of the two pre-installer builds, as the checker and the tests read it.
#include "win/preinstaller_builds.h"

#define DRIVERSETUP_BUILD_ROW(program, inf) {program, inf},

const PreinstallerBuild kPreinstallerBuilds[kWindowsKindCount] = {
    DRIVERSETUP_PREINSTALLER_BUILDS(DRIVERSETUP_BUILD_ROW)};
