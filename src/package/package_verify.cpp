// Checking a package against its catalog by one set of rules, whoever asks.
#include "package/package_verify.h"

#include "package/file_set.h"
#include "inf/ascii.h"

// Where the advice must not lead to a new signature, the catalog stays as its publisher made it.
static const char kCopyAgain[] = "copy the package again, whole, from its publisher";
static const char kMakeAgain[] = "make the catalog again, then sign it";
static const char kMicrosoftAdvice[] =
    "get the package again from its publisher: its catalog is signed by Microsoft, and "
    "Microsoft's signature cannot be made again here";

bool IsPlainCatalogName(const std::string& value) {
    return !value.empty() && value.find_first_of("\\/:") == std::string::npos && value != "." &&
           value != "..";
}

bool IsMicrosoftSigned(const Catalog& catalog) {
    static const char kMicrosoft[] = "Microsoft ";
    return catalog.signer_count > 0 &&
           catalog.signer_name.compare(0, sizeof kMicrosoft - 1, kMicrosoft) == 0;
}

// What to do about a file that does not match: make the catalog again where that keeps the
// signer, never where it would replace Microsoft's signature.
static std::string MismatchAdvice(const Catalog& catalog) {
    return IsMicrosoftSigned(catalog) ? kMicrosoftAdvice : kMakeAgain;
}

static void Add(PackageVerdict* verdict, bool warning, const std::string& file, size_t inf_line,
                const std::string& what, const std::string& advice) {
    VerifyFinding finding = {warning, file, inf_line, what, advice};
    verdict->findings.push_back(finding);
}

std::string DescribeFinding(const VerifyFinding& finding) {
    std::string text = finding.file;
    if (finding.inf_line != 0) {
        text += " (INF line " + std::to_string(finding.inf_line) + ")";
    }
    text += " " + finding.what;
    if (!finding.advice.empty()) {
        text += ": " + finding.advice;
    }
    return text;
}

// The warning for a name that matched only with letter case ignored, as every tool words it.
static void AddCaseWarning(PackageVerdict* verdict, const std::string& file, size_t inf_line,
                           const FoundFile& found) {
    Add(verdict, true, file, inf_line,
        "found as " + found.spelled + ", which matches only when letter case is ignored",
        "Windows ignores it, but rename it to match exactly so that copies to other file "
        "systems keep working");
}

// Finds a file and warns when only letter case made it match.
static bool Find(const PackageAccess& access, const std::string& relative, size_t inf_line,
                 FoundFile* found, PackageVerdict* verdict, std::string* reason) {
    if (!access.find(access.context, relative, found, reason)) {
        return false;
    }
    if (found->spelled != relative) {
        AddCaseWarning(verdict, relative, inf_line, *found);
    }
    return true;
}

bool ReadPackageCatalog(const PackageAccess& access, const std::string& path,
                        const std::string& name, PackageVerdict* verdict) {
    std::string reason;
    if (!access.read(access.context, path, kCatalogReadLimit, &verdict->catalog_bytes, &reason)) {
        Add(verdict, false, name, 0, "cannot be read: " + reason, "");
        return false;
    }
    if (verdict->catalog_bytes.size() > kCatalogReadLimit) {
        Add(verdict, false, name, 0,
            "is larger than any driver catalog (" +
                std::to_string(kCatalogReadLimit / (1024 * 1024)) +
                " MiB is read at most): make sure it is the package's catalog",
            "");
        return false;
    }
    if (verdict->catalog_bytes.empty()) {
        Add(verdict, false, name, 0, "is empty (0 bytes)", kCopyAgain);
        return false;
    }
    if (!ReadCatalog(reinterpret_cast<const uint8_t*>(verdict->catalog_bytes.data()),
                     verdict->catalog_bytes.size(), &verdict->catalog, &reason)) {
        Add(verdict, false, name, 0, reason, kCopyAgain);
        return false;
    }
    return true;
}

// Whether the catalog lists `digest` among its members of `kind`, compat ones as asked.
static bool Lists(const Catalog& catalog, DigestKind kind, bool compat, const std::string& digest) {
    for (size_t m = 0; m < catalog.members.size(); ++m) {
        const CatalogMember& member = catalog.members[m];
        if (member.digest_kind == kind && member.compat == compat && member.digest == digest) {
            return true;
        }
    }
    return false;
}

// Whether any member of `kind` (compat ones as asked) names the file `name`.
static bool Names(const Catalog& catalog, DigestKind kind, bool compat, const std::string& name) {
    for (size_t m = 0; m < catalog.members.size(); ++m) {
        const CatalogMember& member = catalog.members[m];
        if (member.digest_kind == kind && member.compat == compat &&
            EqualsNoCase(member.file, name)) {
            return true;
        }
    }
    return false;
}

// Checks that each member's identifier is its digest: a member that disagrees with itself
// is damage, not a change to the package.
static void CheckMembers(const std::string& catalog_name, const Catalog& catalog,
                         PackageVerdict* verdict) {
    for (size_t m = 0; m < catalog.members.size(); ++m) {
        const CatalogMember& member = catalog.members[m];
        if (member.compat ||
            member.tag == MemberTagFor(catalog.version, member.digest_kind, member.digest)) {
            continue;
        }
        Add(verdict, false, catalog_name, 0,
            "has a damaged member (" + (member.file.empty() ? HexLower(member.tag) : member.file) +
                "): its identifier differs from its digest " + HexLower(member.digest),
            kCopyAgain);
    }
}

// Checks one hashed file against the catalog: a v1 catalog's SHA-1 members, or a v2 catalog's
// SHA-256 members and, where a compat entry names the file, its SHA-1 compat entries.
static void CheckFile(const std::string& catalog_name, const Catalog& catalog,
                      const PackageFile& file, const FileDigests& digests,
                      PackageVerdict* verdict) {
    const bool v2 = catalog.version == kCatalogV2;
    const DigestKind kind = v2 ? kDigestSha256 : kDigestSha1;
    const std::string& digest = v2 ? digests.sha256 : digests.sha1;
    if (!Lists(catalog, kind, false, digest)) {
        const std::string what = Names(catalog, kind, false, file.name)
                                     ? "changed after " + catalog_name + " was made"
                                     : "is not in " + catalog_name + " (its hash " +
                                           HexLower(digest) + " is not among the members)";
        Add(verdict, false, file.relative, file.inf_line, what, MismatchAdvice(catalog));
        return;
    }
    if (v2 && Names(catalog, kDigestSha1, true, file.name) &&
        !Lists(catalog, kDigestSha1, true, digests.sha1)) {
        Add(verdict, false, file.relative, file.inf_line,
            "does not match the SHA-1 compat entry for " + file.name + " in " + catalog_name +
                " (its SHA-1 is " + HexLower(digests.sha1) + ")",
            MismatchAdvice(catalog));
    }
}

void HashPackage(const FileSet& set, bool with_sha256, const PackageAccess& access,
                 std::vector<HashedFile>* hashed, PackageVerdict* verdict) {
    for (size_t p = 0; p < set.problems.size(); ++p) {
        const FileSetProblem& problem = set.problems[p];
        Add(verdict, false, problem.file, problem.inf_line, problem.text, "");
    }
    for (size_t i = 0; i < set.files.size(); ++i) {
        HashedFile entry;
        entry.file = set.files[i];
        FoundFile found;
        std::string reason;
        if (!Find(access, entry.file.relative, entry.file.inf_line, &found, verdict, &reason) ||
            !access.digest(access.context, found.path, with_sha256, &entry.digests, &reason)) {
            Add(verdict, false, entry.file.relative, entry.file.inf_line, reason, "");
            continue;
        }
        hashed->push_back(entry);
    }
}

PackageVerdict VerifyAgainstCatalog(const InfDocument& document, const std::string& inf_name,
                                    const char* platform, const std::string& catalog_name,
                                    const Catalog& catalog, const PackageAccess& access) {
    PackageVerdict verdict;
    verdict.catalog_name = catalog_name;
    verdict.catalog = catalog;
    CheckMembers(catalog_name, catalog, &verdict);
    const bool v2 = catalog.version == kCatalogV2;
    std::vector<HashedFile> hashed;
    HashPackage(FindPackageFiles(document, inf_name, platform), v2, access, &hashed, &verdict);
    verdict.files = hashed.size();
    for (size_t h = 0; h < hashed.size(); ++h) {
        // The set lists the INF first, with line 0.
        if (hashed[h].file.inf_line == 0) {
            verdict.inf_digest = v2 ? hashed[h].digests.sha256 : hashed[h].digests.sha1;
        }
        CheckFile(catalog_name, catalog, hashed[h].file, hashed[h].digests, &verdict);
    }
    bool failed = false;
    for (size_t f = 0; f < verdict.findings.size(); ++f) {
        failed = failed || !verdict.findings[f].warning;
    }
    verdict.outcome = failed ? kVerifyMismatch : kVerifyMatch;
    return verdict;
}

PackageVerdict VerifyPackage(const InfDocument& document, const std::string& inf_name,
                             const char* platform, const std::string& catalog_value,
                             const PackageAccess& access) {
    PackageVerdict verdict;
    verdict.outcome = kVerifyNoCatalog;
    verdict.catalog_name = catalog_value;
    verdict.files = 0;
    if (catalog_value.empty()) {
        verdict.outcome = kVerifyUnsigned;
        return verdict;
    }
    if (!IsPlainCatalogName(catalog_value)) {
        Add(&verdict, false, catalog_value, 0,
            "is what CatalogFile names, which is not a file name beside " + inf_name +
                ", as Windows requires",
            "name the catalog beside the INF in CatalogFile");
        return verdict;
    }
    FoundFile found;
    std::string reason;
    if (!Find(access, catalog_value, 0, &found, &verdict, &reason)) {
        Add(&verdict, false, catalog_value, 0,
            "is the catalog " + inf_name + " names, and it " + reason, kCopyAgain);
        return verdict;
    }
    verdict.catalog_path = found.path;
    if (!ReadPackageCatalog(access, found.path, catalog_value, &verdict)) {
        return verdict;
    }
    const std::vector<VerifyFinding> warnings = verdict.findings;
    const std::string bytes = verdict.catalog_bytes;
    verdict =
        VerifyAgainstCatalog(document, inf_name, platform, catalog_value, verdict.catalog, access);
    verdict.findings.insert(verdict.findings.begin(), warnings.begin(), warnings.end());
    verdict.catalog_path = found.path;
    verdict.catalog_bytes = bytes;
    return verdict;
}
