// The real Windows calls behind the "this machine" line.
#include "check/this_machine.h"

#include <vector>

#include "package/package_check.h"
#include "package/trust_prediction.h"
#include "inf/inf_document.h"
#include "inf/inf_models.h"
#include "inf/inf_text.h"
#include "inf/wide_text.h"
#include "win/preinstaller_builds.h"

#include "probe/probe.h"
#include "record/package_record.h"
#include "win/optional_function.h"
#include "win/winapi_seam.h"

// Windows 10 1709 and later; looked up at run time so older Windows still run the checker.
typedef BOOL(WINAPI* IsWow64Process2Fn)(HANDLE process, USHORT* process_machine,
                                        USHORT* native_machine);

MachineFacts ReadThisMachine() {
    MachineFacts facts = {HasSysWow64Directory(), 0};
    const HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    const IsWow64Process2Fn is_wow64_process2 =
        kernel32 != NULL ? FindOptionalFunction<IsWow64Process2Fn>(kernel32, "IsWow64Process2")
                         : NULL;
    if (is_wow64_process2 != NULL) {
        USHORT process_machine = 0;
        USHORT native_machine = 0;
        if (is_wow64_process2(GetCurrentProcess(), &process_machine, &native_machine)) {
            facts.native_machine = native_machine;
        }
    }
    return facts;
}

// Reads the INF of the package that the launcher's row for `kind` would stage.
static bool ReadPackageInf(WindowsKind kind, const std::string& folder, std::wstring* inf,
                           InfDocument* document) {
    *inf = WideFromUtf8(folder + "\\" + kPreinstallerBuilds[kind].inf);
    std::vector<unsigned char> bytes;
    std::string text;
    std::string error;
    InfEncoding encoding = kInfAnsiOrUtf8;
    if (ReadBoundedFile(*inf, kInfReadLimit, &bytes) != ERROR_SUCCESS ||
        bytes.size() > kInfReadLimit ||
        !DecodeInfText(bytes.data(), bytes.size(), &text, &encoding, &error)) {
        return false;
    }
    *document = ParseInfText(text, encoding);
    return true;
}

static WindowsKind KindOf(const MachineFacts& facts) {
    return facts.probe_answer == 1 ? kWindows64Bit : kWindows32Bit;
}

std::string PredictThisMachine(const MachineFacts& facts, const std::string& folder) {
    static const char kLine[] = "this machine: ";
    const WindowsKind kind = KindOf(facts);
    std::wstring inf;
    InfDocument document;
    if (!ReadPackageInf(kind, folder, &inf, &document)) {
        return std::string(kLine) + "no prediction: the package's INF cannot be read";
    }
    const PackageCheck check = CheckPackageCatalog(kind, inf, document);
    if (check.code != ERROR_SUCCESS) {
        return std::string(kLine) + "the pre-installer would stage nothing: " +
               (check.problems.empty() ? std::string("the package does not match its catalog")
                                       : check.problems[0]);
    }
    const TrustPrediction prediction =
        check.catalog.empty() ? PredictUnsigned()
                              : PredictTrust(check.catalog, inf, check.inf_tag, check.read);
    return std::string(kLine) + prediction.line;
}

std::string RecordOnThisMachine(const MachineFacts& facts, const std::string& folder) {
    const WindowsKind kind = KindOf(facts);
    std::wstring inf;
    InfDocument document;
    std::vector<std::string> ids;
    std::string error;
    PackageIdentity identity;
    PackageRecord record;
    if (!ReadPackageInf(kind, folder, &inf, &document) ||
        !HardwareIdsForArch(document, kind, &ids, &error) ||
        !IdentifyPackage(kind, document, inf, ids, &identity) ||
        !ReadRecord(kind, identity.key, &record)) {
        return std::string();
    }
    return "this machine: staged as " + Utf8FromWide(record.staged_name) + ", version " +
           Utf8FromWide(record.version);
}
