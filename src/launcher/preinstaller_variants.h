// The two pre-installer builds the launcher chooses between, shared with the folder checker
// so that the two programs can never disagree about what the launcher starts.
#ifndef DRIVERSETUP_PREINSTALLER_VARIANTS_H
#define DRIVERSETUP_PREINSTALLER_VARIANTS_H

#include "win/windows_kinds.h"

// One build of the pre-installer and the driver package it installs, as relative paths that
// the shell resolves against the launcher's working directory.
struct PreinstallerVariant {
    const char* lpFile;
    const char* lpParameters;
};

// The switch that starts every parameter string, followed by the relative INF path.
#define PREINSTALLER_INF_SWITCH "/I "

// Indexed by WindowsKind: the probe's answer 0 is kWindows32Bit, 1 is kWindows64Bit.
extern const PreinstallerVariant kPreinstallerVariants[kWindowsKindCount];

#endif
