// Where each pre-installer build and its driver package lie in the distribution folder: the
// one source of the paths that the launcher starts and the checker checks.
#ifndef DRIVERSETUP_WIN_PREINSTALLER_BUILDS_H
#define DRIVERSETUP_WIN_PREINSTALLER_BUILDS_H

#include "win/windows_kinds.h"

// One row per WindowsKind, in its order: the program, then the INF it installs, both relative
// to the distribution folder. A macro, so that the launcher can join its parameter string from
// the same literals at compile time and carry no other copy of them.
#define DRIVERSETUP_PREINSTALLER_BUILDS(ROW)                                \
    ROW("Drive\\i386\\QZDrvPrep_x86.exe", "Drive\\Tavix\\x86\\quenusb.inf") \
    ROW("Drive\\amd64\\QZDrvPrep_x64.exe", "Drive\\Tavix\\amd64\\quenusb.inf")

// The switch that starts every parameter string, followed by the relative INF path.
#define PREINSTALLER_INF_SWITCH "/I "

struct PreinstallerBuild {
    const char* program;  // "Drive\\amd64\\QZDrvPrep_x64.exe"
    const char* inf;      // "Drive\\Tavix\\amd64\\quenusb.inf"
};

// Indexed by WindowsKind.
extern const PreinstallerBuild kPreinstallerBuilds[kWindowsKindCount];

#endif
