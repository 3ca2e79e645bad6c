// The real Windows calls behind the "this machine" line.
#include "check/this_machine.h"

#include <vector>

#include "package/package_check.h"
#include "package/trust_prediction.h"
#include "inf/inf_document.h"
#include "inf/inf_text.h"
#include "inf/wide_text.h"
#include "win/preinstaller_builds.h"

#include "probe/probe.h"
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

std::string PredictThisMachine(const MachineFacts& facts, const std::string& folder) {
    static const char kLine[] = "this machine: ";
    const WindowsKind kind = facts.probe_answer == 1 ? kWindows64Bit : kWindows32Bit;
    const std::wstring inf = WideFromUtf8(folder + "\\" + kPreinstallerBuilds[kind].inf);
    std::vector<unsigned char> bytes;
    std::string text;
    std::string error;
    InfEncoding encoding = kInfAnsiOrUtf8;
    if (ReadBoundedFile(inf, kInfReadLimit, &bytes) != ERROR_SUCCESS ||
        bytes.size() > kInfReadLimit ||
        !DecodeInfText(bytes.data(), bytes.size(), &text, &encoding, &error)) {
        return std::string(kLine) + "no prediction: the package's INF cannot be read";
    }
    const PackageCheck check = CheckPackageCatalog(kind, inf, ParseInfText(text, encoding));
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
