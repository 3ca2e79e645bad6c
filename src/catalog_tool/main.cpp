// driversetup-catalog: makes a driver package's catalog from its INF, checks a package against
// its catalog, and lists a catalog, on Linux.
#include <openssl/evp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "catalog/catalog.h"
#include "package/make_catalog.h"
#include "catalog/os_targets.h"
#include "package/package.h"
#include "backend/signature.h"

namespace fs = std::filesystem;

// The exit codes, as the usage text states them.
static const int kExitOk = 0;
static const int kExitPackage = 1;
static const int kExitUsage = 2;
static const size_t kListIdSize = 16;

// Short by design: the manual page, driversetup-catalog(1), says the rest.
static const char kUsage[] =
    "usage: driversetup-catalog make [--os IDS] [--sha256] [-o FILE] INF\n"
    "       driversetup-catalog verify INF [CAT]\n"
    "       driversetup-catalog list CAT\n"
    "       driversetup-catalog --help | --version\n"
    "\n"
    "make    writes an unsigned catalog of the INF's package (default: the CatalogFile the INF\n"
    "        names); --os targets such as 10_X64,10_X86; --sha256 for a v2 catalog.\n"
    "verify  checks the package against its catalog (default: the one the INF names).\n"
    "list    prints a catalog's kind, attributes, members and signer.\n"
    "\n"
    "Exit codes: 0 done (all match), 1 a problem with the package, 2 a usage error or a file\n"
    "that cannot be read.\n"
    "\n"
    "More: man driversetup-catalog\n";

static int Usage(const std::string& problem) {
    fprintf(stderr, "driversetup-catalog: %s\n%s", problem.c_str(), kUsage);
    return kExitUsage;
}

// A list identifier from the content, so that the same package gives the same bytes.
static std::string ListIdFor(const std::vector<MemberInput>& members,
                             const std::vector<CatalogAttribute>& attributes) {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    EVP_DigestInit_ex(context, EVP_sha256(), NULL);
    for (size_t i = 0; i < members.size(); ++i) {
        EVP_DigestUpdate(context, members[i].digest.data(), members[i].digest.size());
        EVP_DigestUpdate(context, members[i].file.c_str(), members[i].file.size() + 1);
    }
    for (size_t i = 0; i < attributes.size(); ++i) {
        EVP_DigestUpdate(context, attributes[i].value.c_str(), attributes[i].value.size() + 1);
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_DigestFinal_ex(context, digest, &size);
    EVP_MD_CTX_free(context);
    return std::string(reinterpret_cast<const char*>(digest), kListIdSize);
}

// The catalog's time: SOURCE_DATE_EPOCH when set, else now.
static bool CatalogTime(int64_t* seconds, std::string* error) {
    const char* epoch = getenv("SOURCE_DATE_EPOCH");
    if (epoch == NULL || *epoch == '\0') {
        *seconds = static_cast<int64_t>(time(NULL));
        return true;
    }
    char* end = NULL;
    const long long value = strtoll(epoch, &end, 10);
    if (*end != '\0' || value < 0) {
        *error = "SOURCE_DATE_EPOCH must be a number of seconds, not '" + std::string(epoch) + "'";
        return false;
    }
    *seconds = value;
    return true;
}

// Prints the findings, errors and warnings, each naming the INF; returns how many are errors.
static size_t PrintFindings(const std::string& inf, const std::vector<VerifyFinding>& findings) {
    size_t errors = 0;
    for (size_t i = 0; i < findings.size(); ++i) {
        printf("%s: %s: %s\n", findings[i].warning ? "warning" : "error", inf.c_str(),
               DescribeFinding(findings[i]).c_str());
        errors += findings[i].warning ? 0 : 1;
    }
    return errors;
}

// Writes `bytes` to `path` through a temporary file beside it, so that a failed write leaves
// no partial catalog.
static bool WriteAtomically(const fs::path& path, const std::string& bytes, std::string* error) {
    const fs::path temporary = path.u8string() + ".partial";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
            *error = path.u8string() + ": could not be written";
            return false;
        }
    }
    std::error_code code;
    fs::rename(temporary, path, code);
    if (code) {
        fs::remove(temporary, code);
        *error = path.u8string() + ": could not be written";
        return false;
    }
    return true;
}

static int Make(const std::vector<std::string>& args) {
    std::string os;
    std::string output;
    std::string inf;
    bool sha256 = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--os" && i + 1 < args.size()) {
            os = args[++i];
        } else if (args[i] == "-o" && i + 1 < args.size()) {
            output = args[++i];
        } else if (args[i] == "--sha256") {
            sha256 = true;
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            return Usage("unknown option " + args[i]);
        } else if (inf.empty()) {
            inf = args[i];
        } else {
            return Usage("more than one INF given");
        }
    }
    if (inf.empty()) {
        return Usage("make needs an INF");
    }
    Package package;
    std::string error;
    if (!LoadPackage(fs::u8path(inf), &package, &error)) {
        fprintf(stderr, "driversetup-catalog: %s\n", error.c_str());
        return kExitUsage;
    }
    std::vector<size_t> targets;
    if (!os.empty() && !ParseOsTargets(os, &targets, &error)) {
        return Usage(error);
    }
    if (os.empty()) {
        targets = DefaultOsTargets(package.document);
        if (targets.empty()) {
            return Usage(inf +
                         " has no models section for either kind of Windows; name the "
                         "targets with --os");
        }
    }
    for (size_t t = 0; sha256 && t < targets.size(); ++t) {
        if (!kOsTargets[targets[t]].takes_v2) {
            return Usage(std::string("--sha256 makes a catalog that ") +
                         kOsTargets[targets[t]].identifier +
                         " cannot read (SHA-256 needs Windows 8 or later)");
        }
    }
    const PackageAccess access = HostPackageAccess(&package.folder);
    PackageVerdict verdict;
    fs::path out_path = fs::u8path(output);
    if (output.empty()) {
        const std::string named = NamedCatalog(package.document);
        if (named.empty()) {
            return Usage(inf + " names no CatalogFile in [Version]; give the output with -o");
        }
        if (!IsPlainCatalogName(named)) {
            return Usage(inf + ": CatalogFile '" + named +
                         "' is a path, not a file name beside the INF; give the output with -o");
        }
        // An existing catalog is written over under its own name, as Windows would find it.
        FoundFile found;
        std::string reason;
        out_path = package.folder / fs::u8path(named);
        if (access.find(access.context, named, &found, &reason)) {
            out_path = fs::u8path(found.path);
            if (found.spelled != named) {
                const VerifyFinding warning = {
                    true, named, 0,
                    "found as " + found.spelled +
                        ", which matches only when letter case is ignored",
                    "Windows ignores it, but rename it to match exactly so that copies to other "
                    "file systems keep working"};
                verdict.findings.push_back(warning);
            }
        } else if (reason != kMissingFromPackage) {
            PrintFindings(inf, verdict.findings);
            fprintf(stderr, "driversetup-catalog: %s: %s %s\n", inf.c_str(), named.c_str(),
                    reason.c_str());
            return kExitPackage;
        }
    }
    std::vector<HashedFile> hashed;
    HashPackage(package.set, sha256, access, &hashed, &verdict);
    const size_t errors = PrintFindings(inf, verdict.findings);
    if (errors > 0) {
        printf("driversetup-catalog: no catalog written: %zu problem(s)\n", errors);
        return kExitPackage;
    }
    int64_t seconds = 0;
    if (!CatalogTime(&seconds, &error)) {
        return Usage(error);
    }
    const CatalogVersion version = sha256 ? kCatalogV2 : kCatalogV1;
    const std::vector<MemberInput> members = CatalogMembers(version, hashed, targets);
    const std::vector<CatalogAttribute> attributes = CatalogAttributes(package.document, targets);
    const std::string bytes = WriteUnsignedCatalog(version, ListIdFor(members, attributes),
                                                   UtcTimeText(seconds), members, attributes);
    if (!WriteAtomically(out_path, bytes, &error)) {
        fprintf(stderr, "driversetup-catalog: %s\n", error.c_str());
        return kExitUsage;
    }
    printf(
        "driversetup-catalog: wrote %s: v%d, %zu file(s), %zu member(s), OS %s (unsigned; "
        "sign it next)\n",
        out_path.u8string().c_str(), version, hashed.size(), members.size(),
        OsAttributeValue(targets).c_str());
    return kExitOk;
}

static int Verify(const std::vector<std::string>& args) {
    if (args.empty() || args.size() > 2 || args[0].empty() || args[0][0] == '-') {
        return Usage("verify needs an INF and, optionally, a catalog");
    }
    Package package;
    std::string error;
    if (!LoadPackage(fs::u8path(args[0]), &package, &error)) {
        fprintf(stderr, "driversetup-catalog: %s\n", error.c_str());
        return kExitUsage;
    }
    const PackageAccess access = HostPackageAccess(&package.folder);
    PackageVerdict verdict;
    if (args.size() == 2) {
        const std::string name = fs::u8path(args[1]).filename().u8string();
        if (ReadPackageCatalog(access, args[1], args[1], &verdict)) {
            verdict = VerifyAgainstCatalog(package.document, package.inf_name, NULL, name,
                                           verdict.catalog, access);
        } else {
            verdict.outcome = kVerifyNoCatalog;
        }
    } else {
        const std::string named = NamedCatalog(package.document);
        if (named.empty()) {
            return Usage(args[0] + " names no CatalogFile in [Version]; give the catalog");
        }
        verdict = VerifyPackage(package.document, package.inf_name, NULL, named, access);
    }
    const size_t errors = PrintFindings(args[0], verdict.findings);
    if (verdict.outcome == kVerifyNoCatalog) {
        return kExitUsage;
    }
    const Catalog& catalog = verdict.catalog;
    const std::string signing =
        catalog.signer_count == 0 ? std::string("unsigned")
                                  : "signed by " + (catalog.signer_name.empty()
                                                        ? std::string("a signer it does not carry")
                                                        : catalog.signer_name);
    const std::string verdict_text =
        errors == 0 ? std::string("all match") : std::to_string(errors) + " problem(s)";
    printf("%s: %zu file(s) against %s (v%d, %s, %zu member(s)): %s\n", args[0].c_str(),
           verdict.files, verdict.catalog_name.c_str(), catalog.version, signing.c_str(),
           catalog.members.size(), verdict_text.c_str());
    return errors == 0 ? kExitOk : kExitPackage;
}

static int List(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        return Usage("list needs one catalog");
    }
    const fs::path none;
    const PackageAccess access = HostPackageAccess(&none);
    PackageVerdict verdict;
    if (!ReadPackageCatalog(access, args[0], args[0], &verdict)) {
        fprintf(stderr, "driversetup-catalog: %s\n", DescribeFinding(verdict.findings[0]).c_str());
        return kExitUsage;
    }
    const std::string& bytes = verdict.catalog_bytes;
    const Catalog& catalog = verdict.catalog;
    std::string error;
    const uint8_t* data = reinterpret_cast<const uint8_t*>(bytes.data());
    CatalogSigner signer;
    if (!ReadCatalogSigner(data, bytes.size(), &signer, &error)) {
        fprintf(stderr, "driversetup-catalog: %s: %s\n", args[0].c_str(), error.c_str());
        return kExitUsage;
    }
    printf("catalog: %s, v%d (%s), %s, time %s, list %s\n", args[0].c_str(), catalog.version,
           catalog.version == kCatalogV2 ? "SHA-256 with SHA-1 compat members" : "SHA-1",
           signer.is_signed ? "signed" : "unsigned", catalog.this_update.c_str(),
           HexLower(catalog.list_id).c_str());
    for (size_t i = 0; i < catalog.attributes.size(); ++i) {
        printf("attribute: %s = %s\n", catalog.attributes[i].name.c_str(),
               catalog.attributes[i].value.c_str());
    }
    for (size_t i = 0; i < catalog.members.size(); ++i) {
        const CatalogMember& member = catalog.members[i];
        const char* kind = member.digest_kind == kDigestSha256 ? "sha256"
                           : member.compat                     ? "compat"
                                                               : "sha1";
        printf("member: %s %-6s %-4s %s  OSAttr %s\n", HexLower(member.digest).c_str(), kind,
               member.is_pe ? "PE" : "flat", member.file.c_str(), member.os_attr.c_str());
    }
    if (signer.is_signed) {
        printf("signer: %s\nissuer: %s\nsigning time: %s\n", signer.subject.c_str(),
               signer.issuer.c_str(),
               signer.signing_time.empty() ? "(none)" : signer.signing_time.c_str());
    }
    return kExitOk;
}

int main(int argc, char* argv[]) {
    if (argc < 2) {
        return Usage("no command given");
    }
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "make") {
        return Make(args);
    }
    if (command == "verify") {
        return Verify(args);
    }
    if (command == "list") {
        return List(args);
    }
    if (command == "--version") {
        printf("driversetup-catalog %s\n", DRIVERSETUP_VERSION);
        return kExitOk;
    }
    if (command == "--help" || command == "-h") {
        printf("%s", kUsage);
        return kExitOk;
    }
    return Usage("unknown command " + command);
}
