// Finds what a /U name stands for, removes it from the driver store, and tidies up after it.
#include "preinstaller/removal.h"

#include <vector>

#include "inf/ascii.h"
#include "inf/inf_models.h"
#include "inf/inf_text.h"
#include "inf/wide_text.h"
#include "package/package_check.h"
#include "preinstaller/kept_copy.h"
#include "record/package_record.h"
#include "win/optional_function.h"

static const wchar_t kNewdev[] = L"newdev.dll";
static const char kDiUninstallDriver[] = "DiUninstallDriverW";
static const wchar_t kStagedPattern[] = L"oem*.inf";

static std::string Narrow(const std::wstring& text) {
    return Utf8FromWide(text);
}

// A log detail as a sentence for the message box: capital first letter, full stop.
static std::wstring Sentence(const std::string& detail) {
    std::wstring text = WideFromUtf8(detail);
    if (!text.empty() && text[0] >= L'a' && text[0] <= L'z') {
        text[0] = static_cast<wchar_t>(text[0] - L'a' + L'A');
    }
    return text + L".";
}

static bool SameName(const std::wstring& a, const std::wstring& b) {
    return FoldAscii(Narrow(a)) == FoldAscii(Narrow(b));
}

static std::wstring FilePart(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

static bool EndsWithInf(const std::wstring& name) {
    return name.size() > 4 && SameName(name.substr(name.size() - 4), L".inf");
}

// "oem" digits ".inf", the names Windows gives staged INFs.
static bool IsStagedName(const std::wstring& name) {
    if (name.size() < 8 || !SameName(name.substr(0, 3), L"oem") || !EndsWithInf(name)) {
        return false;
    }
    for (size_t i = 3; i + 4 < name.size(); ++i) {
        if (name[i] < L'0' || name[i] > L'9') {
            return false;
        }
    }
    return true;
}

// Windows' INF folder, with its trailing backslash.
static DWORD InfFolder(std::wstring* folder) {
    wchar_t windows[MAX_PATH];
    const UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return length == 0 ? GetLastError() : ERROR_FILENAME_EXCED_RANGE;
    }
    *folder = std::wstring(windows, length) + L"\\INF\\";
    return ERROR_SUCCESS;
}

static bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The staged INF whose bytes are the original's: Windows stages an INF as it is.
static std::wstring FindByContent(const std::wstring& inf_folder,
                                  const std::vector<unsigned char>& original) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((inf_folder + kStagedPattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return std::wstring();
    }
    std::wstring match;
    do {
        std::vector<unsigned char> bytes;
        const std::wstring name = found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
            ReadBoundedFile(inf_folder + name, kInfReadLimit, &bytes) == ERROR_SUCCESS &&
            bytes == original) {
            match = name;
        }
    } while (match.empty() && FindNextFileW(search, &found));
    FindClose(search);
    return match;
}

// What a /U name resolved to: the staged INF's name, and the record's key when known.
struct Target {
    DWORD code;
    std::string detail;
    std::wstring staged;
    std::wstring record_key;
};

static Target Refused(DWORD code, const std::string& detail) {
    Target target = {code, detail, std::wstring(), std::wstring()};
    return target;
}

// Resolves the path of an original INF: by its record, else by content.
static Target FromOriginal(WindowsKind build, const std::wstring& inf_folder, LogContext* context) {
    wchar_t full[MAX_PATH];
    const DWORD length = GetFullPathNameW(context->inf.c_str(), MAX_PATH, full, NULL);
    if (length == 0 || length >= MAX_PATH) {
        return Refused(length == 0 ? GetLastError() : ERROR_FILENAME_EXCED_RANGE,
                       "could not resolve the INF path");
    }
    context->inf.assign(full, length);
    const DWORD attributes = GetFileAttributesW(full);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return Refused(ERROR_FILE_NOT_FOUND, "nothing to remove: the INF is not there");
    }
    std::vector<unsigned char> bytes;
    std::string text;
    std::string error;
    InfEncoding encoding = kInfAnsiOrUtf8;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !EndsWithInf(context->inf) ||
        ReadBoundedFile(context->inf, kInfReadLimit, &bytes) != ERROR_SUCCESS || bytes.empty() ||
        bytes.size() > kInfReadLimit ||
        !DecodeInfText(bytes.data(), bytes.size(), &text, &encoding, &error)) {
        return Refused(ERROR_INVALID_PARAMETER,
                       "nothing removed: this is not an INF; name oemNN.inf or the package's INF");
    }
    const InfDocument document = ParseInfText(text, encoding);
    if (FindInfSection(document, "Version") == NULL) {
        return Refused(ERROR_INVALID_PARAMETER,
                       "nothing removed: this is not an INF (no "
                       "[Version] section)");
    }
    Target target = Refused(ERROR_SUCCESS, "");
    std::vector<std::string> ids;
    PackageIdentity identity;
    PackageRecord record;
    if (HardwareIdsForArch(document, build, &ids, &error) &&
        IdentifyPackage(build, document, context->inf, ids, &identity) &&
        ReadRecord(build, identity.key, &record) && !record.staged_name.empty() &&
        Exists(inf_folder + record.staged_name)) {
        target.staged = record.staged_name;
        target.record_key = record.key;
        target.detail = "staged as " + Narrow(record.staged_name) + ", by its record";
        return target;
    }
    target.staged = FindByContent(inf_folder, bytes);
    if (target.staged.empty()) {
        return Refused(ERROR_FILE_NOT_FOUND,
                       "nothing to remove: no staged INF is this one, and no record names it");
    }
    target.detail = "staged as " + Narrow(target.staged) + ", found by its content";
    return target;
}

static Target Resolve(WindowsKind build, const std::wstring& inf_folder, LogContext* context) {
    const std::wstring& name = context->inf;
    const bool has_folder = name.find_first_of(L"\\/:") != std::wstring::npos;
    if (has_folder && IsStagedName(FilePart(name))) {
        wchar_t full[MAX_PATH];
        const DWORD length = GetFullPathNameW(name.c_str(), MAX_PATH, full, NULL);
        const std::wstring folder =
            length == 0 || length >= MAX_PATH
                ? std::wstring()
                : std::wstring(full, length).substr(0, length - FilePart(name).size());
        if (!SameName(folder, inf_folder)) {
            return Refused(ERROR_INVALID_PARAMETER,
                           "nothing removed: a staged INF's name goes without a folder; give "
                           "oemNN.inf alone");
        }
    } else if (has_folder) {
        return FromOriginal(build, inf_folder, context);
    }
    Target target = Refused(ERROR_SUCCESS, "");
    target.staged = FilePart(name);
    if (!Exists(inf_folder + target.staged)) {
        return Refused(ERROR_FILE_NOT_FOUND, "nothing to remove: no driver package is staged as " +
                                                 Narrow(target.staged));
    }
    target.detail = "staged as " + Narrow(target.staged);
    return target;
}

// Removes the staged package from its devices and the driver store.
static Outcome Uninstall(const std::wstring& inf_folder, const std::wstring& staged, bool* reboot) {
    const HMODULE newdev = GetModuleHandleW(kNewdev);
    const DiUninstallDriverWFn uninstall =
        newdev != NULL ? FindOptionalFunction<DiUninstallDriverWFn>(newdev, kDiUninstallDriver)
                       : NULL;
    BOOL needs_reboot = FALSE;
    const bool done = uninstall != NULL
                          ? uninstall(NULL, (inf_folder + staged).c_str(), 0, &needs_reboot) != 0
                          : SetupUninstallOEMInfW(staged.c_str(), 0, NULL) != 0;
    const std::string how = uninstall != NULL ? "DiUninstallDriverW" : "SetupUninstallOEMInfW";
    if (!done) {
        const DWORD error = GetLastError();
        return OutcomeOf(error, error == ERROR_INF_IN_USE_BY_DEVICES
                                    ? "not removed (" + how +
                                          "): a device still uses it; unplug the device or "
                                          "remove it in Device Manager first"
                                    : "not removed (" + how + ")");
    }
    *reboot = needs_reboot != 0;
    return OutcomeOf(ERROR_SUCCESS, "removed from its devices and the driver store (" + how + ")" +
                                        (*reboot ? "; Windows asks for a restart" : ""));
}

// Deletes the record and, when no other record needs it, the kept copy.
static void Tidy(WindowsKind build, const std::wstring& key, const LogContext& context) {
    PackageRecord record;
    if (key.empty() || !ReadRecord(build, key, &record)) {
        LogStep(context, "record", ERROR_SUCCESS, "no record of this package to delete");
        return;
    }
    const LSTATUS deleted = DeleteRecord(build, key);
    Logged(
        context, "record",
        OutcomeOf(static_cast<DWORD>(deleted),
                  deleted == ERROR_SUCCESS ? "deleted its Programs and Features entry"
                                           : "could not delete its Programs and Features entry"));
    if (record.kept_copy.empty()) {
        return;
    }
    const std::vector<PackageRecord> others = ListRecords(build);
    for (size_t i = 0; i < others.size(); ++i) {
        if (SameName(others[i].kept_copy, record.kept_copy)) {
            LogStep(context, "copy", ERROR_SUCCESS,
                    "kept " + Narrow(record.kept_copy) + ": another record uses it");
            return;
        }
    }
    if (!Exists(record.kept_copy)) {
        LogStep(context, "copy", ERROR_SUCCESS, Narrow(record.kept_copy) + " is gone already");
        return;
    }
    bool delayed = false;
    const DWORD forgot = ForgetCopy(record.kept_copy, &delayed);
    Logged(
        context, "copy",
        OutcomeOf(forgot, forgot != ERROR_SUCCESS ? "could not delete " + Narrow(record.kept_copy)
                          : delayed               ? "deletes " + Narrow(record.kept_copy) +
                                          " at the next restart, since it is running"
                                    : "deleted " + Narrow(record.kept_copy)));
}

Removal RemovePackage(WindowsKind build, const std::wstring& name, LogContext* context) {
    context->inf = name;
    std::wstring inf_folder;
    const DWORD folder_error = InfFolder(&inf_folder);
    if (folder_error != ERROR_SUCCESS) {
        const Removal failed = {
            Logged(*context, "find", OutcomeOf(folder_error, "could not find Windows' INF folder")),
            L"The driver package was not removed: Windows' INF folder was not found."};
        return failed;
    }
    const Target target = Resolve(build, inf_folder, context);
    Logged(*context, "find", OutcomeOf(target.code, target.detail));
    if (target.code != ERROR_SUCCESS) {
        const Removal refused = {target.code, Sentence(target.detail)};
        return refused;
    }
    std::wstring record_key = target.record_key;
    if (record_key.empty()) {
        const std::vector<PackageRecord> records = ListRecords(build);
        for (size_t i = 0; i < records.size() && record_key.empty(); ++i) {
            if (SameName(records[i].staged_name, target.staged)) {
                record_key = records[i].key;
            }
        }
    }
    context->inf = inf_folder + target.staged;
    bool reboot = false;
    const Outcome removed = Uninstall(inf_folder, target.staged, &reboot);
    if (Logged(*context, "remove", removed) != ERROR_SUCCESS) {
        const Removal failed = {removed.code, L"The driver package " + target.staged + L" was " +
                                                  WideFromUtf8(removed.detail) + L"."};
        return failed;
    }
    Tidy(build, record_key, *context);
    const Removal done = {
        reboot ? static_cast<DWORD>(ERROR_SUCCESS_REBOOT_REQUIRED) : ERROR_SUCCESS,
        L"The driver package " + target.staged + L" was removed" +
            (reboot ? L"; restart Windows to finish." : L".")};
    return done;
}

DWORD ListPackages(WindowsKind build, LogContext* context) {
    std::wstring inf_folder;
    const DWORD folder_error = InfFolder(&inf_folder);
    if (folder_error != ERROR_SUCCESS) {
        return Logged(*context, "list",
                      OutcomeOf(folder_error, "could not find Windows' INF folder"));
    }
    const std::vector<PackageRecord> records = ListRecords(build);
    if (records.empty()) {
        LogStep(*context, "list", ERROR_SUCCESS, "no package staged by this build is recorded");
    }
    for (size_t i = 0; i < records.size(); ++i) {
        const PackageRecord& record = records[i];
        const bool present = !record.staged_name.empty() && Exists(inf_folder + record.staged_name);
        LogStep(*context, "list", ERROR_SUCCESS,
                Narrow(record.display_name) + ", version " + Narrow(record.version) +
                    ", staged as " + Narrow(record.staged_name) +
                    (present ? ", in the driver store" : ", no longer in the driver store"));
    }
    return ERROR_SUCCESS;
}
