// The "this machine" line: the launcher's choice here, from the launcher's own probe.
#include "check/this_machine.h"

#include "pe/pe_image.h"
#include "win/preinstaller_builds.h"

std::string DescribeThisMachine(const MachineFacts& facts, const std::string& folder,
                                Findings* findings) {
    const PreinstallerBuild& row =
        kPreinstallerBuilds[facts.probe_answer == 1 ? kWindows64Bit : kWindows32Bit];
    if (facts.native_machine == kPeMachineArm64) {
        Finding finding = {kSeverityWarning, kScopeThisMachine, row.program,
                           "this is an ARM64 machine: the launcher starts this build here, but "
                           "x64 and x86 kernel drivers do not install on ARM64; ship an ARM64 "
                           "driver package and install it another way"};
        findings->push_back(finding);
    }
    return std::string("this machine: the launcher would start ") + row.program +
           " with parameters \"" PREINSTALLER_INF_SWITCH + row.inf + "\" in folder " + folder;
}
