// The one check of a driver package against its catalog, shared by the catalog tool, the folder
// checker and the pre-installer, so that all three judge a package by the same rules.
#ifndef DRIVERSETUP_PACKAGE_PACKAGE_VERIFY_H
#define DRIVERSETUP_PACKAGE_PACKAGE_VERIFY_H

#include <stddef.h>

#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "backend/file_digest.h"
#include "package/file_set.h"
#include "inf/inf_document.h"

// A file of the package as the caller found it.
struct FoundFile {
    std::string path;     // what read and digest take
    std::string spelled;  // the relative path with the names' real spelling, backslashes
};

// How the verifier reaches the package's files: the host's file system, or Windows' own calls.
// Each call fills *reason when it fails.
struct PackageAccess {
    const void* context;
    // Finds `relative` (backslashes, as the INF names it) in the package folder, names matched
    // regardless of letter case as Windows matches them; a regular file only.
    bool (*find)(const void* context, const std::string& relative, FoundFile* found,
                 std::string* reason);
    // Reads at most limit + 1 bytes, so that a larger file shows as such.
    bool (*read)(const void* context, const std::string& path, size_t limit, std::string* bytes,
                 std::string* reason);
    bool (*digest)(const void* context, const std::string& path, bool with_sha256,
                   FileDigests* digests, std::string* reason);
};

enum VerifyOutcome {
    kVerifyUnsigned,   // the INF names no catalog: Windows decides on an unsigned package
    kVerifyNoCatalog,  // the catalog is not a plain name, missing, unreadable or damaged
    kVerifyMismatch,   // a file is missing, or is not in the catalog with its current hash
    kVerifyMatch,
};

struct VerifyFinding {
    bool warning;      // a name matched only with letter case ignored; all else is an error
    std::string file;  // as the INF names it, or the catalog's name
    size_t inf_line;   // 0 for the INF itself and for the catalog
    std::string what;
    std::string advice;  // empty where there is nothing more to do than `what` says
};

struct PackageVerdict {
    VerifyOutcome outcome;
    std::string catalog_name;  // as named, or as given
    std::string catalog_path;  // as found; empty when not found
    std::string catalog_bytes;
    Catalog catalog;
    size_t files;  // the files checked: the INF and those it copies
    // The INF's digest of the catalog's kind, by which WinVerifyTrust is asked about it.
    std::string inf_digest;
    std::vector<VerifyFinding> findings;
};

// One file of the set as found, with its digests.
struct HashedFile {
    PackageFile file;
    FileDigests digests;
};

// Finds and hashes each file of the set: SHA-1 always, SHA-256 when asked. Each problem of
// the set, and each file that cannot be found or hashed, becomes an error finding; a name
// that matched only with letter case ignored, a warning.
void HashPackage(const FileSet& set, bool with_sha256, const PackageAccess& access,
                 std::vector<HashedFile>* hashed, PackageVerdict* verdict);

// Whether `value`, a CatalogFile value, names a file beside the INF, as Windows requires.
bool IsPlainCatalogName(const std::string& value);

// Verifies the package of the INF `inf_name` for `platform` ("x86", "amd64"; NULL for every
// platform the INF serves) against the catalog `catalog_value` names beside it: that value
// must be a plain file name, the catalog must be there and readable within kCatalogReadLimit,
// and the INF and every file it copies must be members with their current hashes (a v2
// catalog's SHA-256 members, and its SHA-1 compat entry where one names the file). Names
// are matched regardless of letter case; a match that needs it is a warning. An empty
// `catalog_value` gives kVerifyUnsigned.
PackageVerdict VerifyPackage(const InfDocument& document, const std::string& inf_name,
                             const char* platform, const std::string& catalog_value,
                             const PackageAccess& access);

// The same, against a catalog the caller read itself (named `catalog_name` in findings).
PackageVerdict VerifyAgainstCatalog(const InfDocument& document, const std::string& inf_name,
                                    const char* platform, const std::string& catalog_name,
                                    const Catalog& catalog, const PackageAccess& access);

// Reads a catalog's bytes (within kCatalogReadLimit) into the verdict. Fails with the finding
// that says why; never advises making a catalog again, which would replace its signature.
bool ReadPackageCatalog(const PackageAccess& access, const std::string& path,
                        const std::string& name, PackageVerdict* verdict);

// "x86\a.sys (INF line 12) changed after a.cat was made: make the catalog again, then sign it".
std::string DescribeFinding(const VerifyFinding& finding);

// Whether the catalog's signer is Microsoft, whose signature no distributor can make again.
bool IsMicrosoftSigned(const Catalog& catalog);

#endif
