// Turns the checker's findings into the lines a person reads and the exit code a script reads.
#ifndef DRIVERSETUP_CHECK_REPORT_H
#define DRIVERSETUP_CHECK_REPORT_H

#include <string>

#include "check/finding.h"

// The exit codes, as --help states them.
const int kExitReady = 0;
const int kExitFaults = 1;
const int kExitUsage = 2;

// "error    [64-bit] Drive\amd64\QZDrvPrep_x64.exe: not found: ..." with the severity word in
// colour when `colour` is set.
std::string FormatFinding(const Finding& finding, bool colour);

// One line: the counts, then for each Windows whether the launcher would start the right thing.
std::string FormatSummary(const Findings& findings);

// kExitFaults when any finding is an error, or with `strict` a warning; else kExitReady.
int ExitCodeFor(const Findings& findings, bool strict);

#endif
