// The two pre-installer builds as the launcher hands them to the shell: program and parameter
// string, joined at compile time from the shared table of builds.
#ifndef DRIVERSETUP_PREINSTALLER_VARIANTS_H
#define DRIVERSETUP_PREINSTALLER_VARIANTS_H

#include "win/preinstaller_builds.h"
#include "win/windows_kinds.h"

// One build of the pre-installer and the driver package it installs, as relative paths that
// the shell resolves against the launcher's working directory.
struct PreinstallerVariant {
    const char* lpFile;
    const char* lpParameters;
};

// Indexed by WindowsKind: the probe's answer 0 is kWindows32Bit, 1 is kWindows64Bit.
extern const PreinstallerVariant kPreinstallerVariants[kWindowsKindCount];

#endif
