// Fuzz target: the catalog reader on arbitrary bytes, in heap storage of exactly their size.
// Checks that a refusal always says why, that what is read is consistent (each member has a
// digest of its kind's size), that a catalog written from what was read reads back alike, and
// that the package verifier judges a small package against whatever was read consistently.
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "package/package_verify.h"
#include "fuzz_check.h"
#include "inf/inf_text.h"

// A package of the INF and one file per platform, whose bytes hash to fixed digests.
static const char kInf[] =
    "[Version]\nSignature=\"$Windows NT$\"\nCatalogFile=f.cat\n[SourceDisksNames.x86]\n"
    "1=d,,,x86\n[SourceDisksNames.amd64]\n1=d,,,x64\n[SourceDisksFiles]\na.sys=1\n";

static bool Find(const void*, const std::string& relative, FoundFile* found, std::string*) {
    found->path = relative;
    found->spelled = relative;
    return true;
}

static bool Read(const void*, const std::string&, size_t, std::string*, std::string* reason) {
    *reason = "not read here";
    return false;
}

// Each file's digests are its path's bytes, padded: distinct per file, of the right sizes.
static bool Digest(const void*, const std::string& path, bool with_sha256, FileDigests* digests,
                   std::string*) {
    digests->is_pe = false;
    digests->sha1 = (path + std::string(20, '\0')).substr(0, 20);
    digests->sha256 = with_sha256 ? (path + std::string(32, '\0')).substr(0, 32) : "";
    return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    Catalog catalog;
    std::string error;
    if (!ReadCatalog(bytes.data(), bytes.size(), &catalog, &error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    FUZZ_CHECK(catalog.version == kCatalogV1 || catalog.version == kCatalogV2);
    std::vector<MemberInput> inputs;
    for (const CatalogMember& member : catalog.members) {
        FUZZ_CHECK(member.digest.size() == kDigestSizes[member.digest_kind]);
        MemberInput input = {member.digest_kind, member.digest, member.is_pe, member.file,
                             member.os_attr};
        inputs.push_back(input);
    }
    const std::string written = WriteUnsignedCatalog(catalog.version, std::string(16, '\0'),
                                                     "231114221320Z", inputs, catalog.attributes);
    Catalog again;
    FUZZ_CHECK(ReadCatalog(reinterpret_cast<const uint8_t*>(written.data()), written.size(), &again,
                           &error));
    FUZZ_CHECK(again.version == catalog.version);
    FUZZ_CHECK(again.members.size() <= catalog.members.size());
    FUZZ_CHECK(again.attributes.size() == catalog.attributes.size());
    const PackageAccess access = {NULL, Find, Read, Digest};
    const PackageVerdict verdict = VerifyAgainstCatalog(ParseInfText(kInf, kInfAnsiOrUtf8), "f.inf",
                                                        NULL, "f.cat", catalog, access);
    bool errors = false;
    for (const VerifyFinding& finding : verdict.findings) {
        FUZZ_CHECK(!finding.file.empty() && !finding.what.empty());
        errors = errors || !finding.warning;
    }
    FUZZ_CHECK((verdict.outcome == kVerifyMatch) == !errors);
    FUZZ_CHECK(verdict.files == 3);
    return 0;
}
