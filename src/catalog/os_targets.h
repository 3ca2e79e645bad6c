// The Windows versions a catalog targets, as inf2cat-style identifiers ("10_X64"), and what
// each writes into the catalog: an "OS" token and an OSAttr version.
#ifndef DRIVERSETUP_CATALOG_OS_TARGETS_H
#define DRIVERSETUP_CATALOG_OS_TARGETS_H

#include <string>
#include <vector>

#include "win/windows_kinds.h"

struct OsTarget {
    const char* identifier;  // "10_X64", as --os takes it
    const char* token;       // "_v100_X64", as the catalog's OS attribute lists it
    const char* os_attr;     // "2:10.0"
    WindowsKind kind;
    bool takes_v2;  // Windows 8 and later read SHA-256 (v2) catalogs
};

// Every target, in the order the OS attribute lists them: NT version ascending, 32-bit before
// 64-bit, client before server.
extern const OsTarget kOsTargets[];
extern const size_t kOsTargetCount;

// Parses "7_X64,10_X64" (any letter case) into indices of kOsTargets, in table order, each
// once. Fails, naming the unknown identifier, for anything else.
bool ParseOsTargets(const std::string& list, std::vector<size_t>* targets, std::string* error);

// The catalog's "OS" value: the targets' tokens, comma-separated, in table order.
std::string OsAttributeValue(const std::vector<size_t>& targets);

// The members' "OSAttr" value: each NT version once, ascending ("2:6.1,2:10.0").
std::string OsAttrValue(const std::vector<size_t>& targets);

// The kinds of Windows an "OS" value names; tokens of older tools (10X64) count too.
std::vector<WindowsKind> KindsInOsValue(const std::string& value);

#endif
