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

// The result of one step: its code and what the log says beside it.
struct Outcome {
    DWORD code;
    std::string detail;
};

static Outcome OutcomeOf(DWORD code, const std::string& detail) {
    Outcome outcome = {code, detail};
    return outcome;
}

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

// Logs the step's outcome and passes its code on.
static DWORD Logged(const LogContext& context, const char* step, const Outcome& outcome) {
    LogStep(context, step, outcome.code, outcome.detail);
    return outcome.code;
}

DWORD RunPreinstaller(WindowsKind build, const wchar_t* command_line) {
    LogContext context = {build, std::wstring()};
    const ParsedCommandLine parsed = ParseCommandLine(command_line);
    if (parsed.result != kCommandLineOk) {
        return Logged(context, "arguments",
                      OutcomeOf(ERROR_INVALID_PARAMETER, Utf8FromWide(parsed.reason)));
    }
    context.inf = parsed.inf;
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
    const DWORD result = restart ? ERROR_SUCCESS_REBOOT_REQUIRED : ERROR_SUCCESS;
    return Logged(context, "done",
                  OutcomeOf(result, restart ? "staged; restart Windows to finish" : "staged"));
}
