// Checks a driver distribution folder against what the launcher will start from it.
#ifndef DRIVERSETUP_CHECK_DISTRIBUTION_CHECK_H
#define DRIVERSETUP_CHECK_DISTRIBUTION_CHECK_H

#include <filesystem>

#include "check/finding.h"

// The launcher's own file name, looked for in the folder.
extern const char kLauncherFileName[];

// Checks, for both rows of the launcher's table, the pre-installer program, the driver package
// named on its command line and the package's catalog, and then the launcher beside them.
// Paths are resolved as Windows would, ignoring letter case. Reads at most the PE headers of a
// program and kInfReadLimit bytes of an INF. A signed catalog's signature is checked against its
// content and, when roots_file (PEM) is not NULL, its chain to those roots.
Findings CheckDistribution(const std::filesystem::path& folder, const char* roots_file);

#endif
