// A driver package on this machine's disk: its INF read and parsed, and its files reached by
// the shared verifier through the file system.
#ifndef DRIVERSETUP_PACKAGE_PACKAGE_H
#define DRIVERSETUP_PACKAGE_PACKAGE_H

#include <filesystem>
#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "backend/file_digest.h"
#include "package/package_verify.h"
#include "package/file_set.h"
#include "inf/inf_document.h"

struct Package {
    std::filesystem::path folder;  // the INF's folder, the package's root
    std::string inf_name;
    InfDocument document;
    FileSet set;
};

// Reads the INF at `inf_path` (a regular file of at most the INF reader's limit) and finds
// its file set. Fails, with the reason in *error, when the INF cannot be read or decoded.
bool LoadPackage(const std::filesystem::path& inf_path, Package* package, std::string* error);

// Why the host's access finds no file: the reason for a name that is simply not there.
extern const char kMissingFromPackage[];

// Reaches the package's files in `folder` on this machine's file system, names matched as
// Windows matches them, never through a link that leads outside the folder. `folder` must
// outlive the access.
PackageAccess HostPackageAccess(const std::filesystem::path* folder);

#endif
