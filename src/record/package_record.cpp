// Writes, reads, lists and deletes the Programs and Features entries of staged packages.
#include "record/package_record.h"

#include <stdio.h>

#include <utility>

#include "backend/file_digest.h"
#include "inf/ascii.h"
#include "inf/inf_models.h"
#include "inf/wide_text.h"

const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const wchar_t kRecordPrefix[] = L"QZDrvPrep_";

// The key names 16 bytes of the digest: unique enough, and short in the registry editor.
static const size_t kKeyDigestBytes = 16;
// Registry strings longer than this are no record of ours and are read as missing.
static const DWORD kValueChars = 1024;
// Key names are at most 255 characters.
static const DWORD kKeyNameChars = 256;
// [Version] DriverVer: date, then version.
static const size_t kDriverVerVersion = 1;

static const wchar_t kDisplayName[] = L"DisplayName";
static const wchar_t kPublisher[] = L"Publisher";
static const wchar_t kDisplayVersion[] = L"DisplayVersion";
static const wchar_t kInstallDate[] = L"InstallDate";
static const wchar_t kEstimatedSize[] = L"EstimatedSize";
static const wchar_t kNoModify[] = L"NoModify";
static const wchar_t kNoRepair[] = L"NoRepair";
static const wchar_t kUninstallString[] = L"UninstallString";
static const wchar_t kQuietUninstallString[] = L"QuietUninstallString";
static const wchar_t kStagedInf[] = L"StagedInf";
static const wchar_t kKeptCopy[] = L"QZDrvPrepCopy";

static const REGSAM kViews[kWindowsKindCount] = {KEY_WOW64_32KEY, KEY_WOW64_64KEY};

REGSAM RecordView(WindowsKind build) {
    return kViews[build];
}

static const InfLine* VersionLine(const InfDocument& document, const char* key) {
    const InfSection* version = FindInfSection(document, "Version");
    for (size_t i = 0; version != NULL && i < version->lines.size(); ++i) {
        if (version->lines[i].has_key && EqualsNoCase(version->lines[i].key, key)) {
            return &version->lines[i];
        }
    }
    return NULL;
}

static std::string VersionValue(const InfDocument& document, const char* key, size_t index) {
    const InfLine* line = VersionLine(document, key);
    return line != NULL && index < line->values.size()
               ? ExpandInfString(document, line->values[index])
               : std::string();
}

// The description of the first device line in the models sections this build reads.
static std::string FirstDeviceDescription(WindowsKind build, const InfDocument& document) {
    const std::vector<ManufacturerModels> entries = ModelsForArch(document, build);
    for (size_t e = 0; e < entries.size(); ++e) {
        for (size_t s = 0; s < entries[e].sections.size(); ++s) {
            const InfSection* section = FindInfSection(document, entries[e].sections[s]);
            for (size_t l = 0; section != NULL && l < section->lines.size(); ++l) {
                if (section->lines[l].has_key && !section->lines[l].key.empty()) {
                    return ExpandInfString(document, section->lines[l].key);
                }
            }
        }
    }
    return std::string();
}

bool IdentifyPackage(WindowsKind build, const InfDocument& document, const std::wstring& inf_path,
                     const std::vector<std::string>& ids, PackageIdentity* identity) {
    std::string text = FoldAscii(VersionValue(document, "Provider", 0)) + "\n" +
                       FoldAscii(VersionValue(document, "ClassGUID", 0));
    for (size_t i = 0; i < ids.size(); ++i) {
        text += "\n" + FoldAscii(ids[i]);
    }
    std::string digest;
    if (!DigestBytes(true, reinterpret_cast<const unsigned char*>(text.data()), text.size(),
                     &digest)) {
        return false;
    }
    static const wchar_t kHex[] = L"0123456789abcdef";
    identity->key = kRecordPrefix;
    for (size_t i = 0; i < kKeyDigestBytes && i < digest.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(digest[i]);
        identity->key += kHex[byte >> 4];
        identity->key += kHex[byte & 0x0f];
    }
    const std::string description = FirstDeviceDescription(build, document);
    const size_t slash = inf_path.find_last_of(L"\\/");
    identity->display_name = description.empty()
                                 ? inf_path.substr(slash == std::wstring::npos ? 0 : slash + 1)
                                 : WideFromUtf8(description);
    identity->publisher = WideFromUtf8(VersionValue(document, "Provider", 0));
    identity->version = WideFromUtf8(VersionValue(document, "DriverVer", kDriverVerVersion));
    return true;
}

static LSTATUS SetString(HKEY key, const wchar_t* name, const std::wstring& value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

static LSTATUS SetDword(HKEY key, const wchar_t* name, DWORD value) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof value);
}

static std::wstring RecordPath(const std::wstring& key) {
    return std::wstring(kUninstallKey) + L"\\" + key;
}

LSTATUS WriteRecord(WindowsKind build, const PackageIdentity& identity,
                    const RecordDetails& details) {
    HKEY key = NULL;
    LSTATUS status =
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, RecordPath(identity.key).c_str(), 0, NULL,
                        REG_OPTION_NON_VOLATILE, KEY_WRITE | kViews[build], NULL, &key, NULL);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    char date[16];
    snprintf(date, sizeof date, "%04u%02u%02u", static_cast<unsigned>(details.date.wYear),
             static_cast<unsigned>(details.date.wMonth), static_cast<unsigned>(details.date.wDay));
    const std::wstring uninstall = L"\"" + details.kept_copy + L"\" /U " + details.staged_name;
    const std::wstring strings[][2] = {
        {kDisplayName, identity.display_name}, {kPublisher, identity.publisher},
        {kDisplayVersion, identity.version},   {kInstallDate, WideFromUtf8(date)},
        {kUninstallString, uninstall},         {kQuietUninstallString, uninstall + L" /Q"},
        {kStagedInf, details.staged_name},     {kKeptCopy, details.kept_copy},
    };
    for (size_t i = 0; status == ERROR_SUCCESS && i < sizeof strings / sizeof strings[0]; ++i) {
        status = SetString(key, strings[i][0].c_str(), strings[i][1]);
    }
    const std::pair<const wchar_t*, DWORD> dwords[] = {
        {kEstimatedSize, details.estimated_kb}, {kNoModify, 1}, {kNoRepair, 1}};
    for (size_t i = 0; status == ERROR_SUCCESS && i < sizeof dwords / sizeof dwords[0]; ++i) {
        status = SetDword(key, dwords[i].first, dwords[i].second);
    }
    RegCloseKey(key);
    return status;
}

// A REG_SZ value, or empty when it is missing, of another type, or longer than kValueChars.
static std::wstring GetString(HKEY key, const wchar_t* name) {
    wchar_t buffer[kValueChars];
    DWORD type = 0;
    DWORD size = sizeof buffer;
    if (RegQueryValueExW(key, name, NULL, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return std::wstring();
    }
    size_t chars = size / sizeof(wchar_t);
    while (chars > 0 && buffer[chars - 1] == L'\0') {
        --chars;
    }
    return std::wstring(buffer, chars);
}

bool ReadRecord(WindowsKind build, const std::wstring& key_name, PackageRecord* record) {
    HKEY key = NULL;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, RecordPath(key_name).c_str(), 0, KEY_READ | kViews[build],
                      &key) != ERROR_SUCCESS) {
        return false;
    }
    record->key = key_name;
    record->display_name = GetString(key, kDisplayName);
    record->version = GetString(key, kDisplayVersion);
    record->staged_name = GetString(key, kStagedInf);
    record->kept_copy = GetString(key, kKeptCopy);
    RegCloseKey(key);
    return true;
}

std::vector<PackageRecord> ListRecords(WindowsKind build) {
    std::vector<PackageRecord> records;
    HKEY uninstall = NULL;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ | kViews[build], &uninstall) !=
        ERROR_SUCCESS) {
        return records;
    }
    std::vector<std::wstring> ours;
    for (DWORD index = 0;; ++index) {
        wchar_t name[kKeyNameChars];
        DWORD chars = kKeyNameChars;
        const LSTATUS status =
            RegEnumKeyExW(uninstall, index, name, &chars, NULL, NULL, NULL, NULL);
        if (status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        const std::wstring key(name, status == ERROR_SUCCESS ? chars : 0);
        if (key.compare(0, sizeof kRecordPrefix / sizeof kRecordPrefix[0] - 1, kRecordPrefix) ==
            0) {
            ours.push_back(key);
        }
    }
    RegCloseKey(uninstall);
    for (size_t i = 0; i < ours.size(); ++i) {
        PackageRecord record;
        if (ReadRecord(build, ours[i], &record)) {
            records.push_back(record);
        }
    }
    return records;
}

LSTATUS DeleteRecord(WindowsKind build, const std::wstring& key) {
    return RegDeleteKeyExW(HKEY_LOCAL_MACHINE, RecordPath(key).c_str(), kViews[build], 0);
}
