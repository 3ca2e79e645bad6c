// The file system side of the folder check: finds each file the way Windows would, reads a
// bounded prefix of it, and turns what it finds into report lines.
#include "check/distribution_check.h"

#include <stdio.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "catalog/catalog.h"
#include "catalog/os_targets.h"
#include "package/package.h"
#include "package/package_verify.h"
#include "backend/signature.h"
#include "check/inf_check.h"
#include "pe/pe_image.h"
#include "inf/ascii.h"
#include "win/preinstaller_builds.h"

namespace fs = std::filesystem;

const char kLauncherFileName[] = "DriverSetup.exe";

// How many of a folder's entries a "holds: ..." hint names before it says how many more.
static const size_t kSiblingsShown = 6;

// What the pre-installer of each kind of Windows must be, in WindowsKind order.
struct ProgramRules {
    uint16_t machine;
    uint16_t magic;
};

static const ProgramRules kProgramRules[kWindowsKindCount] = {
    {kPeMachineI386, kPeMagicPe32},
    {kPeMachineAmd64, kPeMagicPe32Plus},
};

static std::vector<std::string> SplitBackslashes(const std::string& windows_path) {
    std::vector<std::string> parts;
    size_t begin = 0;
    while (begin <= windows_path.size()) {
        size_t end = windows_path.find('\\', begin);
        if (end == std::string::npos) {
            end = windows_path.size();
        }
        if (end > begin) {
            parts.push_back(windows_path.substr(begin, end - begin));
        }
        begin = end + 1;
    }
    return parts;
}

// Where a relative Windows path leads in the folder, looked up one name at a time.
struct Resolved {
    bool found;
    // Some name matched only with letter case ignored.
    bool case_only;
    fs::path path;
    // The path as found, with the names' real spelling, relative and with backslashes.
    std::string shown;
    // When not found: the folder that lacks the next name, and what it holds instead.
    std::string missing_in;
    std::vector<std::string> siblings;
    // When not found because a name on the way is a file, not a folder.
    bool blocked_by_file;
};

static std::string JoinShown(const std::string& base, const std::string& name) {
    return base.empty() ? name : base + "\\" + name;
}

static Resolved Resolve(const fs::path& folder, const std::string& windows_path) {
    Resolved resolved;
    resolved.found = false;
    resolved.case_only = false;
    resolved.blocked_by_file = false;
    resolved.path = folder;
    const std::vector<std::string> parts = SplitBackslashes(windows_path);
    for (size_t i = 0; i < parts.size(); ++i) {
        std::error_code error;
        if (i > 0 && !fs::is_directory(resolved.path, error)) {
            resolved.blocked_by_file = true;
            resolved.missing_in = resolved.shown;
            return resolved;
        }
        std::vector<std::string> names;
        std::string exact;
        std::string folded;
        for (fs::directory_iterator it(resolved.path, error), end; !error && it != end;
             it.increment(error)) {
            const std::string name = it->path().filename().u8string();
            names.push_back(name);
            if (name == parts[i]) {
                exact = name;
            } else if (folded.empty() && EqualsNoCase(name, parts[i])) {
                folded = name;
            }
        }
        if (exact.empty() && folded.empty()) {
            std::sort(names.begin(), names.end());
            resolved.missing_in = resolved.shown;
            resolved.siblings = names;
            return resolved;
        }
        const std::string& name = exact.empty() ? folded : exact;
        resolved.case_only = resolved.case_only || exact.empty();
        resolved.path /= fs::u8path(name);
        resolved.shown = JoinShown(resolved.shown, name);
    }
    resolved.found = true;
    return resolved;
}

// "Drive\amd64 holds QZDrvPrep_x86.exe, readme.txt" or "Drive\amd64 is empty".
static std::string DescribeMissing(const Resolved& resolved) {
    const std::string where = resolved.missing_in.empty() ? "this folder" : resolved.missing_in;
    if (resolved.blocked_by_file) {
        return "not found: " + where + " is a file, not a folder";
    }
    if (resolved.siblings.empty()) {
        return "not found: " + where + " is empty or cannot be listed";
    }
    std::string text = "not found: " + where + " holds ";
    for (size_t i = 0; i < resolved.siblings.size() && i < kSiblingsShown; ++i) {
        text += (i == 0 ? "" : ", ") + resolved.siblings[i];
    }
    if (resolved.siblings.size() > kSiblingsShown) {
        char more[48];
        snprintf(more, sizeof more, " and %zu more", resolved.siblings.size() - kSiblingsShown);
        text += more;
    }
    return text;
}

static void AddCaseWarning(Findings* findings, Scope scope, const std::string& wanted,
                           const Resolved& resolved) {
    AddFinding(
        findings, kSeverityWarning, scope, wanted,
        "found as " + resolved.shown +
            ", which matches only when letter case is ignored; Windows ignores it, but rename "
            "it to match exactly so that copies to other file systems keep working");
}

// Reads at most `limit` bytes from the start of a file. *file_size is the file's length as
// far as the read could tell: where the read ended early, that is what was read.
static bool ReadPrefix(const fs::path& path, size_t limit, std::vector<unsigned char>* bytes,
                       uint64_t* file_size, std::string* error) {
    std::error_code size_error;
    const uintmax_t listed_size = fs::file_size(path, size_error);
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "could not be opened (it vanished, or reading it is not allowed)";
        return false;
    }
    bytes->resize(limit);
    in.read(reinterpret_cast<char*>(bytes->data()), static_cast<std::streamsize>(limit));
    if (in.bad()) {
        *error = "could not be read (an input/output error)";
        return false;
    }
    const size_t got = static_cast<size_t>(in.gcount());
    bytes->resize(got);
    if (got < limit || size_error) {
        *file_size = got;
    } else {
        *file_size = std::max<uint64_t>(listed_size, got);
    }
    return true;
}

// Whether the resolved `wanted` is a regular file; adds the finding for anything else.
static bool IsUsableFile(const std::string& wanted, const Resolved& resolved, Scope scope,
                         const std::string& what, Findings* findings) {
    if (!resolved.found) {
        AddFinding(findings, kSeverityError, scope, wanted,
                   DescribeMissing(resolved) + "; put " + what + " there under this name");
        return false;
    }
    if (resolved.case_only) {
        AddCaseWarning(findings, scope, wanted, resolved);
    }
    std::error_code error;
    const fs::file_status status = fs::status(resolved.path, error);
    if (fs::is_directory(status)) {
        AddFinding(findings, kSeverityError, scope, wanted,
                   "is a folder, not a file; put " + what + " there in its place");
        return false;
    }
    if (!fs::is_regular_file(status)) {
        AddFinding(findings, kSeverityError, scope, wanted,
                   error ? "vanished or cannot be examined; put " + what + " there"
                         : "is not a regular file (a device, pipe or broken link); put " + what +
                               " there");
        return false;
    }
    return true;
}

// Checks that the resolved `wanted` is a program of the given machine and kind.
static void CheckProgram(const std::string& wanted, const Resolved& resolved, Scope scope,
                         const std::string& what, uint16_t machine, uint16_t magic,
                         uint16_t required_subsystem, Findings* findings) {
    if (!IsUsableFile(wanted, resolved, scope, what, findings)) {
        return;
    }
    std::vector<unsigned char> bytes;
    uint64_t file_size = 0;
    std::string error;
    if (!ReadPrefix(resolved.path, kPeHeaderReadLimit, &bytes, &file_size, &error)) {
        AddFinding(findings, kSeverityError, scope, wanted, error + "; check its permissions");
        return;
    }
    const PeImageInfo info = InspectPeImage(bytes.data(), bytes.size(), file_size);
    const std::string found = DescribePeImage(info);
    if (!IsExecutableFor(info, machine, magic) ||
        (required_subsystem != 0 && info.subsystem != required_subsystem)) {
        AddFinding(findings, kSeverityError, scope, wanted,
                   "is " + found + ", not " + what + "; put the right build there");
        return;
    }
    char size_text[32];
    snprintf(size_text, sizeof size_text, " (%llu bytes)",
             static_cast<unsigned long long>(file_size));
    AddFinding(findings, kSeverityOk, scope, wanted, "is " + found + size_text);
}

static std::string ParentOf(const std::string& windows_path) {
    const size_t slash = windows_path.rfind('\\');
    return slash == std::string::npos ? std::string() : windows_path.substr(0, slash);
}

// What the catalog's "OS" attribute says, or empty when it has none.
static std::string OsAttribute(const Catalog& catalog) {
    for (size_t i = 0; i < catalog.attributes.size(); ++i) {
        if (catalog.attributes[i].name == "OS") {
            return catalog.attributes[i].value;
        }
    }
    return std::string();
}

// Checks a signed catalog's signature against its content and, with roots_file, its chain to
// those roots. Whether Windows trusts the signer stays Windows' decision.
static void CheckSignature(const std::vector<unsigned char>& bytes, const std::string& name,
                           const char* roots_file, Scope scope, const std::string& wanted,
                           Findings* findings) {
    const std::string signer = name.empty() ? std::string("a signer it does not carry") : name;
    std::string reason;
    if (!VerifyCatalogSignature(bytes.data(), bytes.size(), roots_file, &reason)) {
        AddFinding(findings, kSeverityError, scope, wanted,
                   "is signed by " + signer + ", but " + reason +
                       ": sign it again, with a certificate from your trusted roots");
    } else if (roots_file != NULL) {
        AddFinding(
            findings, kSeverityOk, scope, wanted,
            "signed by " + signer + "; the signature holds and leads to a root in " + roots_file);
    } else {
        AddFinding(
            findings, kSeverityOk, scope, wanted,
            "signed by " + signer +
                "; the signature holds (whether Windows trusts the signer, Windows decides)");
    }
}

// Checks that the catalog the INF names is there, is a catalog, holds every file of the
// package with its current hash, is signed with a signature that holds, and targets this row's
// kind of Windows.
static void CheckCatalog(const fs::path& folder, const std::string& inf_shown,
                         const fs::path& inf_path, const std::string& catalog, WindowsKind kind,
                         const char* roots_file, Findings* findings) {
    const Scope scope = static_cast<Scope>(kind);
    const WindowsKindInfo& windows = kWindowsKinds[kind];
    const std::string wanted = JoinShown(ParentOf(inf_shown), catalog);
    if (!IsPlainCatalogName(catalog)) {
        AddFinding(findings, kSeverityError, scope, catalog,
                   "is what " + inf_shown +
                       " names in CatalogFile, which is not a file name beside it, as Windows "
                       "requires; name the catalog beside the INF");
        return;
    }
    const Resolved resolved = Resolve(folder, wanted);
    if (!IsUsableFile(wanted, resolved, scope,
                      "the catalog that " + inf_shown + " names in [Version] (CatalogFile)",
                      findings)) {
        return;
    }
    AddFinding(findings, kSeverityOk, scope, wanted, "catalog named by the INF is present");
    Package package;
    std::string error;
    if (!LoadPackage(inf_path, &package, &error)) {
        AddFinding(findings, kSeverityError, scope, inf_shown, error);
        return;
    }
    const PackageAccess access = HostPackageAccess(&package.folder);
    PackageVerdict read;
    if (!ReadPackageCatalog(access, resolved.path.u8string(), catalog, &read)) {
        AddFinding(findings, kSeverityError, scope, wanted,
                   read.findings[0].what +
                       (read.findings[0].advice.empty() ? "" : "; " + read.findings[0].advice));
        return;
    }
    const Catalog& parsed = read.catalog;
    // This row's platform: the INF decoration without "NT".
    const PackageVerdict verdict = VerifyAgainstCatalog(
        package.document, package.inf_name, windows.inf_decoration + 2, catalog, parsed, access);
    for (size_t i = 0; i < verdict.findings.size(); ++i) {
        AddFinding(findings, verdict.findings[i].warning ? kSeverityWarning : kSeverityError, scope,
                   wanted, DescribeFinding(verdict.findings[i]));
    }
    if (verdict.outcome == kVerifyMatch) {
        AddFinding(findings, kSeverityOk, scope, wanted,
                   "holds all " + std::to_string(verdict.files) +
                       " file(s) of the package with their current hashes");
    }
    const std::vector<unsigned char> bytes(read.catalog_bytes.begin(), read.catalog_bytes.end());
    if (parsed.signer_count == 0) {
        AddFinding(findings, windows.installs_only_signed ? kSeverityError : kSeverityWarning,
                   scope, wanted,
                   std::string("is not signed; ") + windows.windows +
                       (windows.installs_only_signed
                            ? " installs only signed driver packages"
                            : " asks an administrator before it installs an unsigned package") +
                       ": sign it (osslsigncode sign, or signtool sign on Windows)");
    } else {
        CheckSignature(bytes, parsed.signer_name, roots_file, scope, wanted, findings);
    }
    const std::string os = OsAttribute(parsed);
    const std::vector<WindowsKind> kinds = KindsInOsValue(os);
    bool targets_row = false;
    for (size_t i = 0; i < kinds.size(); ++i) {
        targets_row = targets_row || kinds[i] == kind;
    }
    if (!targets_row) {
        AddFinding(findings, kSeverityWarning, scope, wanted,
                   "names no target for " + std::string(windows.windows) +
                       " in its OS attribute (" + (os.empty() ? std::string("none") : os) +
                       (IsMicrosoftSigned(parsed)
                            ? "); Microsoft's signature cannot be made again here: get a package "
                              "for it from its publisher"
                            : "); make it again with that target in --os, then sign it"));
    }
}

static void CheckPackage(const fs::path& folder, const std::string& wanted, WindowsKind kind,
                         const char* roots_file, Findings* findings) {
    const Scope scope = static_cast<Scope>(kind);
    const Resolved resolved = Resolve(folder, wanted);
    if (!IsUsableFile(wanted, resolved, scope, "the driver package (INF)", findings)) {
        return;
    }
    std::vector<unsigned char> bytes;
    uint64_t file_size = 0;
    std::string error;
    // One byte past the limit tells a file at the limit from a longer one.
    if (!ReadPrefix(resolved.path, kInfReadLimit + 1, &bytes, &file_size, &error)) {
        AddFinding(findings, kSeverityError, scope, wanted, error + "; check its permissions");
        return;
    }
    if (bytes.size() > kInfReadLimit) {
        char text[200];
        snprintf(text, sizeof text,
                 "is %llu bytes, above the %zu MiB that the checker reads of an INF; make "
                 "sure this is the driver package",
                 static_cast<unsigned long long>(file_size), kInfReadLimit / (1024 * 1024));
        AddFinding(findings, kSeverityError, scope, wanted, text);
        return;
    }
    const InfCheck check = CheckInf(bytes.data(), bytes.size(), kind, scope, wanted);
    findings->insert(findings->end(), check.findings.begin(), check.findings.end());
    if (!check.catalog.empty()) {
        CheckCatalog(folder, resolved.shown, resolved.path, check.catalog, kind, roots_file,
                     findings);
    }
}

Findings CheckDistribution(const fs::path& folder, const char* roots_file) {
    Findings findings;
    for (int i = 0; i < kWindowsKindCount; ++i) {
        const WindowsKind kind = static_cast<WindowsKind>(i);
        const PreinstallerBuild& build = kPreinstallerBuilds[kind];
        const ProgramRules& rules = kProgramRules[kind];
        CheckProgram(build.program, Resolve(folder, build.program), static_cast<Scope>(kind),
                     std::string("the ") + kWindowsKinds[kind].program + " pre-installer",
                     rules.machine, rules.magic, 0, &findings);
        CheckPackage(folder, build.inf, kind, roots_file, &findings);
    }

    const Resolved launcher = Resolve(folder, kLauncherFileName);
    if (!launcher.found) {
        AddFinding(&findings, kSeverityWarning, kScopeBoth, kLauncherFileName,
                   "is not in this folder; that is fine only if the launcher is started from "
                   "elsewhere with this folder as its working directory, else copy it here");
        return findings;
    }
    CheckProgram(kLauncherFileName, launcher, kScopeBoth, "the launcher (a PE32 i386 GUI program)",
                 kPeMachineI386, kPeMagicPe32, kPeSubsystemGui, &findings);
    return findings;
}
