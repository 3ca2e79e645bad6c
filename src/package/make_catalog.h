// The members and attributes of a package's catalog, as Windows' INF-to-catalog tool makes
// them.
#ifndef DRIVERSETUP_PACKAGE_MAKE_CATALOG_H
#define DRIVERSETUP_PACKAGE_MAKE_CATALOG_H

#include <stdint.h>

#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "package/package_verify.h"

// The targets an INF's models imply when --os is not given: 10_X86 when 32-bit Windows finds
// models sections in it, 10_X64 and Server10_X64 when 64-bit Windows does. Indices into
// kOsTargets.
std::vector<size_t> DefaultOsTargets(const InfDocument& document);

// The catalog's members: v1 one SHA-1 member per file; v2 one SHA-256 member plus one SHA-1
// "compat" member per file. Every member carries the file's name and the targets' OSAttr.
std::vector<MemberInput> CatalogMembers(CatalogVersion version,
                                        const std::vector<HashedFile>& files,
                                        const std::vector<size_t>& targets);

// The catalog attributes: "OS", then the hardware IDs from the last to the first, as
// "HWIDn" ... "HWID1".
std::vector<CatalogAttribute> CatalogAttributes(const InfDocument& document,
                                                const std::vector<size_t>& targets);

// "YYMMDDhhmmssZ" for a time in seconds since 1970, UTC; UTCTime covers 1950 to 2049.
std::string UtcTimeText(int64_t seconds);

#endif
