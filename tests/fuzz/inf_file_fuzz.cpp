// Fuzz target: CheckInf, the pre-installer's hardware-ID extraction and the catalog's file set
// on arbitrary bytes for both kinds of Windows, in heap storage of exactly their size. Checks
// that every outcome is reported, that text that cannot be decoded gives one error and nothing
// else, that the IDs found are non-empty, unique regardless of case, and come with no error,
// and that no file of the set leaves the package folder.
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "package/file_set.h"
#include "check/inf_check.h"
#include "fuzz_check.h"
#include "inf/ascii.h"
#include "inf/inf_models.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<unsigned char> bytes(data, data + size);
    std::string text;
    std::string error;
    InfEncoding encoding = kInfAnsiOrUtf8;
    const bool decoded = DecodeInfText(bytes.data(), bytes.size(), &text, &encoding, &error);
    FUZZ_CHECK(decoded == error.empty());
    if (decoded) {
        // Decoded text never carries a NUL: it would cut the INF short for Windows.
        FUZZ_CHECK(text.find('\0') == std::string::npos);
    }
    static const WindowsKind kArches[] = {kWindows32Bit, kWindows64Bit};
    const InfDocument document = ParseInfText(text, encoding);
    for (WindowsKind arch : kArches) {
        std::vector<std::string> ids;
        std::string id_error;
        const bool found = HardwareIdsForArch(document, arch, &ids, &id_error);
        FUZZ_CHECK(found == !ids.empty());
        FUZZ_CHECK(found == id_error.empty());
        for (size_t i = 0; i < ids.size(); ++i) {
            FUZZ_CHECK(!ids[i].empty());
            for (size_t k = 0; k < i; ++k) {
                FUZZ_CHECK(FoldAscii(ids[i]) != FoldAscii(ids[k]));
            }
        }
    }
    for (WindowsKind arch : kArches) {
        const InfCheck check = CheckInf(bytes.data(), bytes.size(), arch, kScope32Bit, "f.inf");
        FUZZ_CHECK(!check.findings.empty());
        for (const Finding& finding : check.findings) {
            FUZZ_CHECK(finding.subject == "f.inf");
            FUZZ_CHECK(!finding.text.empty());
            FUZZ_CHECK(finding.severity >= kSeverityOk && finding.severity <= kSeverityError);
        }
        if (!decoded) {
            FUZZ_CHECK(check.findings.size() == 1);
            FUZZ_CHECK(check.findings[0].severity == kSeverityError);
            FUZZ_CHECK(check.catalog.empty());
        }
    }
    const FileSet set = FindPackageFiles(document, "f.inf", NULL);
    FUZZ_CHECK(!set.files.empty() && set.files[0].relative == "f.inf");
    for (size_t i = 1; i < set.files.size(); ++i) {
        const std::string& relative = set.files[i].relative;
        FUZZ_CHECK(!relative.empty() && relative[0] != '\\');
        FUZZ_CHECK(relative.find(':') == std::string::npos);
        FUZZ_CHECK(("\\" + relative + "\\").find("\\..\\") == std::string::npos);
        FUZZ_CHECK(set.files[i].inf_line > 0);
    }
    for (size_t i = 0; i < set.problems.size(); ++i) {
        FUZZ_CHECK(!set.problems[i].text.empty());
    }
    // One platform's files, as the pre-installer checks them: never more than every platform's,
    // and the catalog it looks for is a name the INF gives.
    const FileSet one_platform = FindPackageFiles(document, "f.inf", "amd64");
    FUZZ_CHECK(one_platform.files.size() <= set.files.size());
    FUZZ_CHECK(one_platform.problems.size() == set.problems.size());
    for (int kind = 0; kind < kWindowsKindCount; ++kind) {
        const std::string catalog = CatalogFileFor(document, static_cast<WindowsKind>(kind));
        FUZZ_CHECK(catalog.empty() || !NamedCatalog(document).empty());
    }
    return 0;
}
