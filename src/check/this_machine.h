// What the launcher would do on the machine the checker runs on (Windows only).
#ifndef DRIVERSETUP_CHECK_THIS_MACHINE_H
#define DRIVERSETUP_CHECK_THIS_MACHINE_H

#include <stdint.h>

#include <string>

#include "check/finding.h"

// What the checker learnt about this machine.
struct MachineFacts {
    // The launcher's own probe answer: 1 where SysWow64 exists, else 0.
    int probe_answer;
    // The native machine from IsWow64Process2, or 0 where Windows lacks that call.
    uint16_t native_machine;
};

// The "this machine: ..." line naming the program, parameters and folder of the row the
// launcher would start, and into *findings a warning where that row cannot work here.
std::string DescribeThisMachine(const MachineFacts& facts, const std::string& folder,
                                Findings* findings);

// Gathers the facts with the real Windows calls. Only built for Windows.
MachineFacts ReadThisMachine();

// The "this machine: ..." line that says what Windows will make of the package of the row the
// launcher would start from `folder` (its full path), as the pre-installer will log it: the
// package checked against its catalog, then WinVerifyTrust and Trusted Publishers asked. Only
// built for Windows.
std::string PredictThisMachine(const MachineFacts& facts, const std::string& folder);

// "this machine: staged as oemNN.inf, version V" when the pre-installer's record of that
// package exists here, else empty. Only built for Windows.
std::string RecordOnThisMachine(const MachineFacts& facts, const std::string& folder);

#endif
