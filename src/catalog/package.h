// A driver package on disk: its INF read and parsed, its file set found in the folder, each
// file hashed, and the package compared with a catalog.
#ifndef DRIVERSETUP_CATALOG_PACKAGE_H
#define DRIVERSETUP_CATALOG_PACKAGE_H

#include <filesystem>
#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "catalog/file_digest.h"
#include "catalog/file_set.h"
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

// One file of the set as found on disk, with its digests.
struct HashedFile {
    PackageFile file;
    std::filesystem::path path;
    FileDigests digests;
};

// Finds each file of the set in the package folder, names matched regardless of letter case,
// and hashes it. Each file that is missing, is no regular file, leads outside the package
// folder through a link, or cannot be hashed becomes a problem line naming the file and the
// INF line instead.
void HashPackageFiles(const Package& package, bool with_sha256, std::vector<HashedFile>* hashed,
                      std::vector<std::string>* problems);

// Compares the package with its catalog: each member's identifier against its digest, and
// each hashed file against the members. Returns one line per problem; none when all match.
std::vector<std::string> ComparePackage(const std::string& catalog_name, const Catalog& catalog,
                                        const std::vector<HashedFile>& hashed);

#endif
