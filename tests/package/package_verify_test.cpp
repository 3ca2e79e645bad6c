// The one verifier against a recording fake of the package folder: which files it looks up
// for each platform, what it finds wrong, and advice that never asks to replace Microsoft's
// signature.
#include <gtest/gtest.h>
#include <openssl/sha.h>

#include <map>
#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "package/package_verify.h"
#include "inf/ascii.h"
#include "inf/inf_text.h"

namespace {

// The package folder: files by their spelling on disk, and every call made to it.
struct FakeFolder {
    std::map<std::string, std::string> files;
    bool read_fails;
    std::vector<std::string> finds;    // the relative paths asked for
    std::vector<std::string> digests;  // the paths hashed, with "+sha256" when asked
};

static FakeFolder folder;

static bool FakeFind(const void*, const std::string& relative, FoundFile* found,
                     std::string* reason) {
    folder.finds.push_back(relative);
    for (std::map<std::string, std::string>::const_iterator it = folder.files.begin();
         it != folder.files.end(); ++it) {
        if (EqualsNoCase(it->first, relative)) {
            found->path = it->first;
            found->spelled = it->first;
            return true;
        }
    }
    *reason = "is missing from the package folder";
    return false;
}

static bool FakeRead(const void*, const std::string& path, size_t, std::string* bytes,
                     std::string* reason) {
    if (folder.read_fails) {
        *reason = "reading it is not allowed";
        return false;
    }
    *bytes = folder.files[path];
    return true;
}

static std::string Sha1(const std::string& bytes) {
    unsigned char digest[SHA_DIGEST_LENGTH];
    SHA1(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest);
    return std::string(reinterpret_cast<const char*>(digest), sizeof digest);
}

static std::string Sha256(const std::string& bytes) {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest);
    return std::string(reinterpret_cast<const char*>(digest), sizeof digest);
}

static bool FakeDigest(const void*, const std::string& path, bool with_sha256, FileDigests* digests,
                       std::string*) {
    folder.digests.push_back(path + (with_sha256 ? "+sha256" : ""));
    digests->is_pe = false;
    digests->sha1 = Sha1(folder.files[path]);
    digests->sha256 = with_sha256 ? Sha256(folder.files[path]) : std::string();
    return true;
}

static const PackageAccess kAccess = {NULL, FakeFind, FakeRead, FakeDigest};

// x86 and amd64 take a.sys from their own folder, through per-platform disk sections and one
// undecorated [SourceDisksFiles] line.
static const char kInf[] =
    "[Version]\nSignature=\"$Windows NT$\"\nCatalogFile=p.cat\n"
    "[SourceDisksNames.x86]\n1=d,,,x86\n[SourceDisksNames.amd64]\n1=d,,,x64\n"
    "[SourceDisksFiles]\na.sys=1\n";
static const char kX86Sys[] = "x86 driver";
static const char kX64Sys[] = "x64 driver";

static InfDocument Document() {
    return ParseInfText(kInf, kInfAnsiOrUtf8);
}

// How a catalog of the package is made.
enum Layout {
    kV1,
    kV2,
    kV2CompatDiffers,  // the x64 file's compat entry holds another file's SHA-1
};

static std::string CatalogOf(Layout layout) {
    const std::string files[] = {kInf, kX86Sys, kX64Sys};
    const char* const names[] = {"p.inf", "a.sys", "a.sys"};
    std::vector<MemberInput> members;
    for (size_t i = 0; i < 3; ++i) {
        const std::string sha1 =
            layout == kV2CompatDiffers && i == 2 ? Sha1("another file") : Sha1(files[i]);
        const MemberInput v1 = {kDigestSha1, sha1, false, names[i], "2:10.0"};
        members.push_back(v1);
        if (layout != kV1) {
            const MemberInput v2 = {kDigestSha256, Sha256(files[i]), false, names[i], "2:10.0"};
            members.push_back(v2);
        }
    }
    return WriteUnsignedCatalog(layout == kV1 ? kCatalogV1 : kCatalogV2, std::string(16, '\x11'),
                                "260101000000Z", members, std::vector<CatalogAttribute>());
}

class VerifyPackageTest : public testing::Test {
protected:
    void SetUp() override {
        folder = FakeFolder();
        folder.read_fails = false;
        folder.files["p.inf"] = kInf;
        folder.files["x86\\a.sys"] = kX86Sys;
        folder.files["x64\\a.sys"] = kX64Sys;
        folder.files["p.cat"] = CatalogOf(kV1);
    }
};

// Which files each platform's check looks up and hashes, in order.
struct PlatformCase {
    const char* name;
    const char* platform;
    Layout layout;
    std::vector<std::string> finds;
    std::vector<std::string> digests;
};

static const PlatformCase kPlatformCases[] = {
    {"x86_v1", "x86", kV1, {"p.cat", "p.inf", "x86\\a.sys"}, {"p.inf", "x86\\a.sys"}},
    {"amd64_v1", "amd64", kV1, {"p.cat", "p.inf", "x64\\a.sys"}, {"p.inf", "x64\\a.sys"}},
    {"every_platform_v2",
     NULL,
     kV2,
     {"p.cat", "p.inf", "x64\\a.sys", "x86\\a.sys"},
     {"p.inf+sha256", "x64\\a.sys+sha256", "x86\\a.sys+sha256"}},
};

void PrintTo(const PlatformCase& c, std::ostream* os) {
    *os << c.name;
}

class PlatformTest : public VerifyPackageTest, public testing::WithParamInterface<PlatformCase> {};

TEST_P(PlatformTest, HashesThatPlatformsFilesAndFindsThemListed) {
    folder.files["p.cat"] = CatalogOf(GetParam().layout);
    const PackageVerdict verdict =
        VerifyPackage(Document(), "p.inf", GetParam().platform, "p.cat", kAccess);
    EXPECT_EQ(verdict.outcome, kVerifyMatch);
    EXPECT_TRUE(verdict.findings.empty())
        << (verdict.findings.empty() ? "" : DescribeFinding(verdict.findings[0]));
    EXPECT_EQ(folder.finds, GetParam().finds);
    EXPECT_EQ(folder.digests, GetParam().digests);
    EXPECT_EQ(verdict.files, GetParam().digests.size());
}

INSTANTIATE_TEST_SUITE_P(Cases, PlatformTest, testing::ValuesIn(kPlatformCases),
                         [](const testing::TestParamInfo<PlatformCase>& info) {
                             return std::string(info.param.name);
                         });

// A package or catalog gone wrong, and what the verifier says of it.
enum Fault {
    kSysChanged,
    kCompatDiffers,
    kCatalogUnreadable,
    kCatalogGarbage,
    kCatalogIsAPath,
    kCatalogCaseDiffers,
};

struct FaultCase {
    const char* name;
    Fault fault;
    VerifyOutcome outcome;
    const char* finding;  // the first finding, whole
};

static const FaultCase kFaultCases[] = {
    {"changed_file", kSysChanged, kVerifyMismatch,
     "x64\\a.sys (INF line 9) changed after p.cat was made: make the catalog again, then sign it"},
    {"compat_entry_differs", kCompatDiffers, kVerifyMismatch,
     "x64\\a.sys (INF line 9) does not match the SHA-1 compat entry for a.sys in p.cat (its "
     "SHA-1 is 4bbded2e68a667bb589d2cbaf770498a5716ae17): make the catalog again, then sign it"},
    {"catalog_unreadable", kCatalogUnreadable, kVerifyNoCatalog,
     "p.cat cannot be read: reading it is not allowed"},
    {"catalog_garbage", kCatalogGarbage, kVerifyNoCatalog,
     "p.cat is not a catalog (not DER): a length past the end of the data: copy the package "
     "again, whole, from its publisher"},
    {"catalog_named_by_a_path", kCatalogIsAPath, kVerifyNoCatalog,
     "..\\p.cat is what CatalogFile names, which is not a file name beside p.inf, as Windows "
     "requires: name the catalog beside the INF in CatalogFile"},
    {"catalog_name_differs_in_case", kCatalogCaseDiffers, kVerifyMatch,
     "P.CAT found as p.cat, which matches only when letter case is ignored: Windows ignores it, "
     "but rename it to match exactly so that copies to other file systems keep working"},
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

class FaultTest : public VerifyPackageTest, public testing::WithParamInterface<FaultCase> {};

TEST_P(FaultTest, SaysWhatIsWrongAndWhatToDo) {
    std::string catalog_value = "p.cat";
    switch (GetParam().fault) {
        case kSysChanged:
            folder.files["x64\\a.sys"] += " patched";
            break;
        case kCompatDiffers:
            folder.files["p.cat"] = CatalogOf(kV2CompatDiffers);
            break;
        case kCatalogUnreadable:
            folder.read_fails = true;
            break;
        case kCatalogGarbage:
            folder.files["p.cat"] = "garbage";
            break;
        case kCatalogIsAPath:
            catalog_value = "..\\p.cat";
            break;
        case kCatalogCaseDiffers:
            catalog_value = "P.CAT";
            break;
    }
    const PackageVerdict verdict =
        VerifyPackage(Document(), "p.inf", "amd64", catalog_value, kAccess);
    EXPECT_EQ(verdict.outcome, GetParam().outcome);
    ASSERT_FALSE(verdict.findings.empty());
    EXPECT_EQ(DescribeFinding(verdict.findings[0]), GetParam().finding);
}

INSTANTIATE_TEST_SUITE_P(Cases, FaultTest, testing::ValuesIn(kFaultCases),
                         [](const testing::TestParamInfo<FaultCase>& info) {
                             return std::string(info.param.name);
                         });

// The advice for a changed file by who signed the catalog.
struct AdviceCase {
    const char* name;
    size_t signers;
    const char* signer;
    const char* advice;
};

static const AdviceCase kAdviceCases[] = {
    {"unsigned", 0, "", "make the catalog again, then sign it"},
    {"company", 1, "Tavix Devices Ltd", "make the catalog again, then sign it"},
    {"microsoft", 1, "Microsoft Windows Hardware Compatibility Publisher",
     "get the package again from its publisher: its catalog is signed by Microsoft, and "
     "Microsoft's signature cannot be made again here"},
};

void PrintTo(const AdviceCase& c, std::ostream* os) {
    *os << c.name;
}

class AdviceTest : public VerifyPackageTest, public testing::WithParamInterface<AdviceCase> {};

TEST_P(AdviceTest, NeverAsksToReplaceMicrosoftsSignature) {
    const std::string bytes = CatalogOf(kV1);
    Catalog catalog;
    std::string error;
    ASSERT_TRUE(ReadCatalog(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &catalog,
                            &error));
    catalog.signer_count = GetParam().signers;
    catalog.signer_name = GetParam().signer;
    folder.files["p.inf"] += "; edited\n";
    const PackageVerdict verdict =
        VerifyAgainstCatalog(Document(), "p.inf", "x86", "p.cat", catalog, kAccess);
    ASSERT_EQ(verdict.findings.size(), 1u);
    EXPECT_EQ(verdict.findings[0].file, "p.inf");
    EXPECT_EQ(verdict.findings[0].advice, GetParam().advice);
}

INSTANTIATE_TEST_SUITE_P(Cases, AdviceTest, testing::ValuesIn(kAdviceCases),
                         [](const testing::TestParamInfo<AdviceCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
