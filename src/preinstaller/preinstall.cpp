// The pre-installer's steps and the exit code each outcome gives.
#include "preinstaller/preinstall.h"

#include <string>
#include <vector>

#include "package/trust_prediction.h"
#include "inf/inf_document.h"
#include "inf/inf_models.h"
#include "inf/inf_text.h"
#include "preinstaller/command_line.h"
#include "preinstaller/log.h"
#include "package/package_check.h"
#include "inf/wide_text.h"
#include "preinstaller/kept_copy.h"
#include "preinstaller/removal.h"
#include "record/package_record.h"

static const wchar_t kRemovalCaption[] = L"Driver removal";
// A restart for a planned driver installation, as Windows' own shutdown reasons name it.
static const DWORD kRestartReason =
    SHTDN_REASON_MAJOR_SOFTWARE | SHTDN_REASON_MINOR_INSTALLATION | SHTDN_REASON_FLAG_PLANNED;
static const DWORD kBytesPerKb = 1024;
static const wchar_t kShutdownPrivilege[] = L"SeShutdownPrivilege";

// Resolves the INF's full path and reads its hardware IDs for `build`.
static Outcome ReadInf(WindowsKind build, LogContext* context, InfDocument* document,
                       std::vector<std::string>* ids) {
    wchar_t full[MAX_PATH];
    const DWORD length = GetFullPathNameW(context->inf.c_str(), MAX_PATH, full, NULL);
    if (length == 0) {
        return OutcomeOf(GetLastError(), "could not resolve the INF path");
    }
    if (length >= MAX_PATH) {
        return OutcomeOf(ERROR_FILENAME_EXCED_RANGE,
                         "the full INF path has " + std::to_string(length) +
                             " characters; at most " + std::to_string(MAX_PATH - 1) + " work");
    }
    context->inf.assign(full, length);
    const DWORD attributes = GetFileAttributesW(full);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return OutcomeOf(GetLastError(), "the INF is not there");
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return OutcomeOf(ERROR_DIRECTORY_NOT_SUPPORTED, "the INF path names a folder, not a file");
    }
    std::vector<unsigned char> bytes;
    const DWORD read_error = ReadBoundedFile(context->inf, kInfReadLimit, &bytes);
    if (read_error != ERROR_SUCCESS) {
        return OutcomeOf(read_error, "could not read the INF");
    }
    if (bytes.empty()) {
        return OutcomeOf(ERROR_INVALID_DATA, "the INF is empty");
    }
    if (bytes.size() > kInfReadLimit) {
        return OutcomeOf(ERROR_FILE_TOO_LARGE, "the INF is larger than " +
                                                   std::to_string(kInfReadLimit / (1024 * 1024)) +
                                                   " MiB, which no real INF is");
    }
    std::string text;
    std::string error;
    InfEncoding encoding = kInfAnsiOrUtf8;
    if (!DecodeInfText(bytes.data(), bytes.size(), &text, &encoding, &error)) {
        return OutcomeOf(ERROR_INVALID_DATA, "the INF " + error);
    }
    *document = ParseInfText(text, encoding);
    if (!HardwareIdsForArch(*document, build, ids, &error)) {
        return OutcomeOf(ERROR_SECTION_NOT_FOUND, std::string("the INF has ") + error);
    }
    std::string listed;
    for (size_t i = 0; i < ids->size(); ++i) {
        listed += (i == 0 ? "" : ", ") + (*ids)[i];
    }
    return OutcomeOf(ERROR_SUCCESS, std::to_string(ids->size()) + " hardware ID(s): " + listed);
}

// The size of the files beside the INF, in KiB rounded up: what the package takes.
static DWORD PackageKb(const std::wstring& inf) {
    const std::wstring folder = inf.substr(0, inf.find_last_of(L'\\') + 1);
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    uint64_t bytes = 0;
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                bytes += (uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    return static_cast<DWORD>((bytes + kBytesPerKb - 1) / kBytesPerKb);
}

// Keeps a copy of this program and writes the package's Programs and Features entry, which
// runs that copy to remove it. A failure is logged and changes nothing else: the driver is
// staged.
static void RecordStaged(WindowsKind build, const LogContext& context, const InfDocument& document,
                         const std::vector<std::string>& ids, const wchar_t* stored) {
    RecordDetails details;
    const DWORD kept = KeepCopy(build, &details.kept_copy);
    if (kept != ERROR_SUCCESS) {
        LogStep(context, "record", kept,
                "no Programs and Features entry: could not keep a copy of the pre-installer at " +
                    Utf8FromWide(details.kept_copy));
        return;
    }
    PackageIdentity identity;
    if (!IdentifyPackage(build, document, context.inf, ids, &identity)) {
        LogStep(context, "record", ERROR_INVALID_DATA,
                "no Programs and Features entry: CNG could not hash the package's identity");
        return;
    }
    const std::wstring stored_path = stored;
    details.staged_name = stored_path.substr(stored_path.find_last_of(L'\\') + 1);
    details.estimated_kb = PackageKb(context.inf);
    GetLocalTime(&details.date);
    const LSTATUS written = WriteRecord(build, identity, details);
    LogStep(context, "record", static_cast<DWORD>(written),
            written == ERROR_SUCCESS
                ? "Programs and Features entry " + Utf8FromWide(identity.key) +
                      " removes it with " + Utf8FromWide(details.kept_copy)
                : "could not write the Programs and Features entry " + Utf8FromWide(identity.key));
}

// Stages the package that context->inf names and installs it on present devices.
static DWORD Install(WindowsKind build, LogContext* context_in) {
    LogContext& context = *context_in;
    if (build == kWindows32Bit) {
        BOOL wow64 = FALSE;
        if (IsWow64Process(GetCurrentProcess(), &wow64) && wow64) {
            return Logged(context, "wow64",
                          OutcomeOf(ERROR_IN_WOW64,
                                    std::string("this 32-bit build runs on 64-bit Windows, where "
                                                "driver installation fails from a 32-bit process; "
                                                "use ") +
                                        kWindowsKinds[kWindows64Bit].preinstaller));
        }
    }
    std::vector<std::string> ids;
    InfDocument document;
    const DWORD read = Logged(context, "read", ReadInf(build, &context, &document, &ids));
    if (read != ERROR_SUCCESS) {
        return read;
    }
    // A package that does not match its catalog is not offered to Windows at all: Windows
    // would ask an administrator to accept an altered package.
    const PackageCheck check = CheckPackageCatalog(build, context.inf, document);
    for (size_t i = 0; i < check.problems.size(); ++i) {
        LogStep(context, "catalog", check.code, check.problems[i]);
    }
    if (check.code != ERROR_SUCCESS) {
        return Logged(context, "done",
                      OutcomeOf(check.code, check.code == ERROR_NO_CATALOG_FOR_OEM_INF
                                                ? "nothing staged: the package's catalog is "
                                                  "missing or unreadable"
                                                : "nothing staged: the package on the media is "
                                                  "not the one that was signed"));
    }
    Logged(context, "catalog", OutcomeOf(ERROR_SUCCESS, check.summary));
    // What Windows will make of the signer; staging goes ahead whatever it says, and Windows'
    // own answer stays the exit code.
    const TrustPrediction prediction =
        check.catalog.empty() ? PredictUnsigned()
                              : PredictTrust(check.catalog, context.inf, check.inf_tag, check.read);
    LogStep(context, "trust", static_cast<DWORD>(prediction.answer), prediction.line);

    wchar_t stored[MAX_PATH] = L"";
    if (!SetupCopyOEMInfW(context.inf.c_str(), NULL, SPOST_PATH, 0, stored, MAX_PATH, NULL, NULL)) {
        const DWORD error = GetLastError();
        // Setup copies the catalog that the INF names along with it.
        return Logged(
            context, "stage",
            OutcomeOf(error, error == ERROR_FILE_NOT_FOUND
                                 ? "could not stage the package: a file it names, such as "
                                   "its catalog, is not beside it"
                                 : "could not stage the package"));
    }
    Logged(context, "stage",
           OutcomeOf(ERROR_SUCCESS, "in the driver store as " + Utf8FromWide(stored)));
    RecordStaged(build, context, document, ids, stored);

    bool restart = false;
    for (size_t i = 0; i < ids.size(); ++i) {
        BOOL reboot = FALSE;
        const std::wstring id = WideFromUtf8(ids[i]);
        if (UpdateDriverForPlugAndPlayDevicesW(NULL, id.c_str(), context.inf.c_str(), 0, &reboot)) {
            restart = restart || reboot;
            Logged(context, "update",
                   OutcomeOf(ERROR_SUCCESS, "installed on the present devices with " + ids[i] +
                                                (reboot ? "; Windows asks for a restart" : "")));
            continue;
        }
        const DWORD error = GetLastError();
        if (error == ERROR_NO_SUCH_DEVINST) {
            Logged(context, "update",
                   OutcomeOf(error,
                             "no device with " + ids[i] + " is plugged in; pre-installed for it"));
            continue;
        }
        return Logged(context, "update", OutcomeOf(error, "could not install for " + ids[i]));
    }
    const DWORD result =
        restart ? static_cast<DWORD>(ERROR_SUCCESS_REBOOT_REQUIRED) : ERROR_SUCCESS;
    return Logged(context, "done",
                  OutcomeOf(result, restart ? "staged; restart Windows to finish" : "staged"));
}

// Enables the shutdown privilege and starts the restart. Returns 0 or the error.
static DWORD StartRestart() {
    HANDLE token = NULL;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        return GetLastError();
    }
    TOKEN_PRIVILEGES privileges;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    const bool enabled =
        LookupPrivilegeValueW(NULL, kShutdownPrivilege, &privileges.Privileges[0].Luid) &&
        AdjustTokenPrivileges(token, FALSE, &privileges, 0, NULL, NULL);
    const DWORD error = enabled ? ERROR_SUCCESS : GetLastError();
    CloseHandle(token);
    if (error != ERROR_SUCCESS) {
        return error;
    }
    return InitiateShutdownW(NULL, NULL, 0, SHUTDOWN_RESTART, kRestartReason);
}

// 3010 is reported as it is, unless /forcerestart asks for the restart: then it is started
// and the exit code is 1641. A restart that cannot be started is logged and stays 3010.
static DWORD FinishRestart(const ParsedCommandLine& parsed, const LogContext& context, DWORD code) {
    if (code != ERROR_SUCCESS_REBOOT_REQUIRED || !parsed.force_restart) {
        return code;
    }
    const DWORD started = StartRestart();
    if (started != ERROR_SUCCESS) {
        LogStep(context, "restart", started, "could not start the restart; restart Windows");
        return code;
    }
    return Logged(context, "restart",
                  OutcomeOf(ERROR_SUCCESS_REBOOT_INITIATED, "Windows restarts now"));
}

DWORD RunPreinstaller(WindowsKind build, const wchar_t* command_line) {
    LogContext context = {build, std::wstring()};
    const ParsedCommandLine parsed = ParseCommandLine(command_line);
    if (parsed.result != kCommandLineOk) {
        return Logged(context, "arguments",
                      OutcomeOf(ERROR_INVALID_PARAMETER, Utf8FromWide(parsed.reason)));
    }
    if (parsed.action == kActionList) {
        return ListPackages(build, &context);
    }
    if (parsed.action == kActionInstall) {
        context.inf = parsed.inf;
        return FinishRestart(parsed, context, Install(build, &context));
    }
    const Removal removal = RemovePackage(build, parsed.inf, &context);
    const DWORD code = FinishRestart(parsed, context, removal.code);
    // Whoever clicked Uninstall must see what happened; a quiet removal shows nothing.
    if (!parsed.quiet) {
        MessageBoxW(
            NULL, removal.message.c_str(), kRemovalCaption,
            MB_OK | MB_SETFOREGROUND |
                (removal.code == ERROR_SUCCESS || removal.code == ERROR_SUCCESS_REBOOT_REQUIRED
                     ? MB_ICONINFORMATION
                     : MB_ICONERROR));
    }
    return code;
}
