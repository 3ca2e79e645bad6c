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
#include "catalog/make_catalog.h"
#include "catalog/os_targets.h"
#include "catalog/package.h"
#include "catalog/signature.h"

namespace fs = std::filesystem;

// The exit codes, as the usage text states them.
static const int kExitOk = 0;
static const int kExitPackage = 1;
static const int kExitUsage = 2;
// A catalog larger than this is no driver catalog (real ones stay far below 16 MiB); the tool
// reads up to four times the checker's limit, so that it can still list an odd one.
static const size_t kToolCatalogReadLimit = 4 * kCatalogReadLimit;
static const size_t kListIdSize = 16;

static const char kUsage[] =
    "usage: driversetup-catalog make [--os IDS] [--sha256] [-o FILE] INF\n"
    "       driversetup-catalog verify INF [CAT]\n"
    "       driversetup-catalog list CAT\n"
    "\n"
    "make    writes an unsigned catalog of the INF's package: the INF and every file that\n"
    "        CopyFiles or [SourceDisksFiles] reach. IDS are targets such as 10_X64,10_X86\n"
    "        (default: what the INF's models imply). --sha256 makes a v2 catalog (Windows 8\n"
    "        and later). The default output is the CatalogFile the INF names, beside it.\n"
    "        SOURCE_DATE_EPOCH, when set, is the catalog's time.\n"
    "verify  checks the package against its catalog (default: the one the INF names).\n"
    "list    prints a catalog's kind, attributes, members and signer.\n"
    "\n"
    "Exit codes: 0 done (all match), 1 a problem with the package, 2 a usage error or a file\n"
    "that cannot be read.\n";

static int Usage(const std::string& problem) {
    fprintf(stderr, "driversetup-catalog: %s\n%s", problem.c_str(), kUsage);
    return kExitUsage;
}

static bool ReadWhole(const fs::path& path, size_t limit, std::string* bytes, std::string* error) {
    std::error_code code;
    if (!fs::is_regular_file(path, code)) {
        *error = "not found, or not a regular file";
        return false;
    }
    // Sized by the file, not the limit, so that memory follows what is read; one byte more
    // shows a file that grew past the limit while it was read.
    const uintmax_t listed = fs::file_size(path, code);
    if (code || listed > limit) {
        *error = code ? "could not be read" : "larger than any catalog";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    bytes->assign(static_cast<size_t>(listed) + 1, '\0');
    in.read(&(*bytes)[0], static_cast<std::streamsize>(bytes->size()));
    if (in.bad()) {
        *error = "could not be read";
        return false;
    }
    bytes->resize(static_cast<size_t>(in.gcount()));
    if (bytes->size() > limit) {
        *error = "larger than any catalog";
        return false;
    }
    return true;
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

// Whether a CatalogFile value is a plain file name: the catalog sits beside the INF, and a
// path in it must not send the tool's output elsewhere.
static bool IsPlainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("\\/:") == std::string::npos;
}

static void PrintProblems(const std::string& inf, const std::vector<std::string>& problems) {
    for (size_t i = 0; i < problems.size(); ++i) {
        printf("error: %s: %s\n", inf.c_str(), problems[i].c_str());
    }
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
    fs::path out_path = fs::u8path(output);
    if (output.empty()) {
        const std::string named = NamedCatalog(package.document);
        if (named.empty()) {
            return Usage(inf + " names no CatalogFile in [Version]; give the output with -o");
        }
        if (!IsPlainFileName(named)) {
            return Usage(inf + ": CatalogFile '" + named +
                         "' is a path, not a file name beside the INF; give the output with -o");
        }
        out_path = package.folder / fs::u8path(named);
    }
    std::vector<std::string> problems = DescribeProblems(package.set);
    std::vector<HashedFile> hashed;
    HashPackageFiles(package, sha256, &hashed, &problems);
    if (!problems.empty()) {
        PrintProblems(inf, problems);
        printf("driversetup-catalog: no catalog written: %zu problem(s)\n", problems.size());
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
    fs::path catalog_path;
    if (args.size() == 2) {
        catalog_path = fs::u8path(args[1]);
    } else {
        const std::string named = NamedCatalog(package.document);
        if (named.empty()) {
            return Usage(args[0] + " names no CatalogFile in [Version]; give the catalog");
        }
        if (!IsPlainFileName(named)) {
            return Usage(args[0] + ": CatalogFile '" + named +
                         "' is a path, not a file name beside the INF; give the catalog");
        }
        catalog_path = package.folder / fs::u8path(named);
    }
    std::string bytes;
    Catalog catalog;
    if (!ReadWhole(catalog_path, kToolCatalogReadLimit, &bytes, &error) ||
        !ReadCatalog(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &catalog,
                     &error)) {
        fprintf(stderr, "driversetup-catalog: %s: %s\n", catalog_path.u8string().c_str(),
                error.c_str());
        return kExitUsage;
    }
    const std::string catalog_name = catalog_path.filename().u8string();
    std::vector<std::string> problems = DescribeProblems(package.set);
    std::vector<HashedFile> hashed;
    HashPackageFiles(package, catalog.version == kCatalogV2, &hashed, &problems);
    const std::vector<std::string> mismatches = ComparePackage(catalog_name, catalog, hashed);
    problems.insert(problems.end(), mismatches.begin(), mismatches.end());
    PrintProblems(args[0], problems);
    const std::string signing =
        catalog.signer_count == 0 ? std::string("unsigned")
                                  : "signed by " + (catalog.signer_name.empty()
                                                        ? std::string("a signer it does not carry")
                                                        : catalog.signer_name);
    const std::string verdict = problems.empty() ? std::string("all match")
                                                 : std::to_string(problems.size()) + " problem(s)";
    printf("%s: %zu file(s) against %s (v%d, %s, %zu member(s)): %s\n", args[0].c_str(),
           package.set.files.size(), catalog_name.c_str(), catalog.version, signing.c_str(),
           catalog.members.size(), verdict.c_str());
    return problems.empty() ? kExitOk : kExitPackage;
}

static int List(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        return Usage("list needs one catalog");
    }
    std::string bytes;
    std::string error;
    Catalog catalog;
    if (!ReadWhole(fs::u8path(args[0]), kToolCatalogReadLimit, &bytes, &error) ||
        !ReadCatalog(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &catalog,
                     &error)) {
        fprintf(stderr, "driversetup-catalog: %s: %s\n", args[0].c_str(), error.c_str());
        return kExitUsage;
    }
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
        printf("member: %s %-6s %-4s %s  OSAttr %s\n", HexLower(member.digest).c_str(),
               member.digest_kind == kDigestSha256 ? "sha256" : "sha1",
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
    if (command == "--help" || command == "-h") {
        printf("%s", kUsage);
        return kExitOk;
    }
    return Usage("unknown command " + command);
}
