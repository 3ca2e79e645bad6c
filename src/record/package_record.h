// The record of a staged driver package: a Programs and Features entry under the registry's
// Uninstall key, in the view of the build that staged it, keyed by the package's identity.
#ifndef DRIVERSETUP_RECORD_PACKAGE_RECORD_H
#define DRIVERSETUP_RECORD_PACKAGE_RECORD_H

#include <string>
#include <vector>

#include "inf/inf_document.h"
#include "win/winapi_seam.h"
#include "win/windows_kinds.h"

extern const wchar_t kUninstallKey[];  // "Software\Microsoft\Windows\CurrentVersion\Uninstall"
extern const wchar_t kRecordPrefix[];  // the start of every record's key name

// Who the package is, and what Programs and Features shows of it.
struct PackageIdentity {
    std::wstring key;           // kRecordPrefix and 32 hex digits of SHA-256 of the identity
    std::wstring display_name;  // the first device's description for the build, else the INF name
    std::wstring publisher;     // [Version] Provider
    std::wstring version;       // the version part of [Version] DriverVer
};

// The identity of the package whose INF `document` (at `inf_path`) has the hardware IDs `ids`
// for `build`: provider, class GUID and IDs, case ignored. Staging the same package again
// gives the same key. Returns false only when CNG cannot hash.
bool IdentifyPackage(WindowsKind build, const InfDocument& document, const std::wstring& inf_path,
                     const std::vector<std::string>& ids, PackageIdentity* identity);

// What a record holds that removal and listing need.
struct PackageRecord {
    std::wstring key;
    std::wstring display_name;
    std::wstring version;
    std::wstring staged_name;  // "oem12.inf", as SetupCopyOEMInfW named it
    std::wstring kept_copy;    // the pre-installer that its uninstall strings run
};

// The values a new record gets besides the identity's.
struct RecordDetails {
    std::wstring staged_name;
    std::wstring kept_copy;
    DWORD estimated_kb;
    SYSTEMTIME date;
};

// The registry view each build keeps its records in: the 32-bit one for the x86 build, the
// native one for x64.
REGSAM RecordView(WindowsKind build);

// Writes (or rewrites) the record under identity.key. Returns 0 or the registry's error.
LSTATUS WriteRecord(WindowsKind build, const PackageIdentity& identity,
                    const RecordDetails& details);

// Reads the record under `key`; false when there is none.
bool ReadRecord(WindowsKind build, const std::wstring& key, PackageRecord* record);

// Every record of this build, in the registry's order.
std::vector<PackageRecord> ListRecords(WindowsKind build);

// Deletes the record under `key`. Returns 0 or the registry's error.
LSTATUS DeleteRecord(WindowsKind build, const std::wstring& key);

#endif
