// The check of a driver package against the catalog Windows uses for it, with Windows' own
// calls: what the pre-installer does before staging, and the Windows checker for this machine.
#ifndef DRIVERSETUP_PACKAGE_PACKAGE_CHECK_H
#define DRIVERSETUP_PACKAGE_PACKAGE_CHECK_H

#include <stddef.h>

#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "inf/inf_document.h"
#include "win/winapi_seam.h"
#include "win/windows_kinds.h"

// Reads at most `limit` + 1 bytes of the file, so that a larger file shows as such without
// being read whole. Returns 0 or the error of the call that failed.
DWORD ReadBoundedFile(const std::wstring& path, size_t limit, std::vector<unsigned char>* bytes);

struct PackageCheck {
    // ERROR_SUCCESS, ERROR_NO_CATALOG_FOR_OEM_INF (the named catalog is missing or unreadable)
    // or ERROR_FILE_HASH_NOT_IN_CATALOG (a file is missing or does not match).
    DWORD code;
    std::vector<std::string> problems;  // one line each, naming the file
    std::string summary;                // the step's own line
    std::wstring catalog;               // the catalog's full path; empty when none is named
    Catalog read;                       // the catalog as read
    std::wstring inf_tag;               // the INF's member identifier, as WinVerifyTrust takes it
};

// Checks the package whose INF is at the full path `inf_path` against the catalog that
// Windows uses for `build` (CatalogFileFor), beside the INF: the INF and each file it copies
// for this build's platform, hashed with CNG, must be members. An INF that names no catalog
// passes, as an unsigned package that Windows decides on.
PackageCheck CheckPackageCatalog(WindowsKind build, const std::wstring& inf_path,
                                 const InfDocument& document);

#endif
