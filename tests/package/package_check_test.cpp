// The pre-installer's catalog step against the fakes: a package that matches its catalog is
// staged; a changed or missing file, or a missing or broken catalog, stops it before any
// driver call, with Setup's own code and a log line that names the file.
#include <gtest/gtest.h>
#include <openssl/sha.h>

#include <string>

#include "catalog/catalog.h"
#include "catalog/der.h"
#include "backend/fake_cng.h"
#include "preinstaller/fake_preinstaller_api.h"
#include "preinstaller/preinstall.h"

namespace {

static const wchar_t kFolder[] = L"C:\\dist\\Drive\\Tavix\\amd64\\";
static const wchar_t kLine[] = L"QZDrvPrep_x64.exe /I Drive\\Tavix\\amd64\\quenusb.inf";

// The INF copies quenusb.sys on 64-bit Windows and x86.sys, which this folder lacks, on 32-bit.
static const char kInf[] =
    "[Version]\nSignature=\"$Windows NT$\"\nCatalogFile=quenusb.cat\n"
    "CatalogFile.NTamd64=%Cat64%\n"
    "[Manufacturer]\nV=Models,NTamd64\n[Models.NTamd64]\nD=Inst, USB\\VID_F055&PID_0A11\n"
    "[Inst.NTamd64]\nCopyFiles=Sys\n[Sys]\nquenusb.sys\n"
    "[SourceDisksNames]\n1=disk\n[SourceDisksFiles.amd64]\nquenusb.sys=1\n"
    "[SourceDisksFiles.x86]\nx86.sys=1\n[Strings]\nCat64=\"quenusb.cat\"\n";
static const char kSys[] = "driver bytes";

static std::string Sha1(const std::string& bytes) {
    unsigned char digest[SHA_DIGEST_LENGTH];
    SHA1(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest);
    return std::string(reinterpret_cast<const char*>(digest), sizeof digest);
}

// An unsigned v1 catalog holding these files' bytes.
static std::string CatalogOf(const std::string& inf, const std::string& sys) {
    std::vector<MemberInput> members;
    const std::string files[] = {inf, sys};
    const char* const names[] = {"quenusb.inf", "quenusb.sys"};
    for (size_t i = 0; i < 2; ++i) {
        MemberInput member = {kDigestSha1, Sha1(files[i]), false, names[i], "2:10.0"};
        members.push_back(member);
    }
    return WriteUnsignedCatalog(kCatalogV1, std::string(16, '\x11'), "260101000000Z", members,
                                std::vector<CatalogAttribute>());
}

enum Fault {
    kIntact,
    kInfEdited,
    kSysChanged,
    kSysRemoved,
    kCatalogMissing,
    kCatalogGarbage,
    kCatalogIsAPath,
    kDecoratedCatalogMissing,
};

struct CatalogCase {
    const char* name;
    Fault fault;
    DWORD exit_code;
    const char* log_part;
};

static const CatalogCase kCases[] = {
    {"intact", kIntact, ERROR_SUCCESS,
     "catalog | C:\\dist\\Drive\\Tavix\\amd64\\quenusb.inf | 0 | error 0. | quenusb.cat holds "
     "quenusb.inf and the 1 file(s) it copies on this Windows, with their current hashes"},
    {"inf_edited", kInfEdited, ERROR_FILE_HASH_NOT_IN_CATALOG,
     "quenusb.inf changed after quenusb.cat was made: make the catalog again, then sign it"},
    {"copied_file_changed", kSysChanged, ERROR_FILE_HASH_NOT_IN_CATALOG,
     "quenusb.sys (INF line 16) changed after quenusb.cat was made: make the catalog again, "
     "then sign it"},
    {"copied_file_removed", kSysRemoved, ERROR_FILE_HASH_NOT_IN_CATALOG,
     "quenusb.sys (INF line 16) is missing: the package is incomplete"},
    {"catalog_missing", kCatalogMissing, ERROR_NO_CATALOG_FOR_OEM_INF,
     "quenusb.cat is the catalog quenusb.inf names, and it is missing: the package is "
     "incomplete"},
    {"catalog_garbage", kCatalogGarbage, ERROR_NO_CATALOG_FOR_OEM_INF,
     "quenusb.cat is not a catalog"},
    {"catalog_named_by_a_path", kCatalogIsAPath, ERROR_NO_CATALOG_FOR_OEM_INF,
     "..\\quenusb.cat is what CatalogFile names, which is not a file name beside quenusb.inf"},
    {"decorated_catalog_is_the_one_used", kDecoratedCatalogMissing, ERROR_NO_CATALOG_FOR_OEM_INF,
     "a64.cat is the catalog quenusb.inf names, and it is missing"},
};

void PrintTo(const CatalogCase& c, std::ostream* os) {
    *os << c.name;
}

static void Lay(const std::string& name, const std::string& bytes) {
    preinstaller_fakes.files[std::wstring(kFolder) + std::wstring(name.begin(), name.end())] =
        FakeFile{false, bytes};
}

static void LayPackage(Fault fault) {
    std::string inf = kInf;
    std::string sys = kSys;
    std::string catalog = CatalogOf(inf, sys);
    switch (fault) {
        case kIntact:
            break;
        case kInfEdited:
            inf += "; edited after signing\n";
            break;
        case kSysChanged:
            sys[0] ^= 1;
            break;
        case kSysRemoved:
            sys.clear();
            break;
        case kCatalogMissing:
            catalog.clear();
            break;
        case kCatalogGarbage:
            catalog = "not a catalog at all";
            break;
        case kCatalogIsAPath:
            inf.replace(inf.find("Cat64=\"quenusb.cat\""), 19, "Cat64=\"..\\quenusb.cat\"");
            break;
        case kDecoratedCatalogMissing:
            inf.replace(inf.find("Cat64=\"quenusb.cat\""), 19, "Cat64=\"a64.cat\"");
            break;
    }
    Lay("quenusb.inf", inf);
    if (!sys.empty()) {
        Lay("quenusb.sys", sys);
    }
    if (!catalog.empty()) {
        Lay("quenusb.cat", catalog);
    }
}

class PackageCheckTest : public testing::TestWithParam<CatalogCase> {
protected:
    void SetUp() override {
        ResetPreinstallerFakes();
        ResetCngFakes();
    }
};

TEST_P(PackageCheckTest, StagesOnlyWhatMatchesItsCatalog) {
    const CatalogCase& c = GetParam();
    LayPackage(c.fault);
    EXPECT_EQ(RunPreinstaller(kWindows64Bit, kLine), c.exit_code);
    const bool staged = c.exit_code == ERROR_SUCCESS;
    EXPECT_EQ(preinstaller_fakes.copy_calls.size(), staged ? 1u : 0u);
    EXPECT_EQ(preinstaller_fakes.update_calls.size(), staged ? 1u : 0u);
    EXPECT_NE(preinstaller_fakes.log.find(c.log_part), std::string::npos) << preinstaller_fakes.log;
    EXPECT_EQ(OpenFileHandles(), 0u);
    EXPECT_EQ(cng_fakes.open_hashes, 0);
    EXPECT_EQ(cng_fakes.open_providers, 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, PackageCheckTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<CatalogCase>& info) {
                             return std::string(info.param.name);
                         });

// The catalog above with a signer: its certificate (issuer and subject kSignerName, serial
// 01 02 03) and a signer info that names it. Nothing here is cryptographically valid: the
// fakes stand in for WinVerifyTrust, and the reader needs only the names.
static const char kSignerName[] = "Tavix Test Signer";
static const char kSerial[] = "\x01\x02\x03";

static std::string SignerNameDer() {
    return DerEncode(
        kDerSequence,
        DerEncode(kDerSet, DerEncode(kDerSequence,
                                     DerOid("2.5.4.3") + DerEncode(kDerUtf8String, kSignerName))));
}

static std::string SignedCatalogOf(const std::string& inf, const std::string& sys) {
    const std::string unsigned_bytes = CatalogOf(inf, sys);
    Catalog read;
    std::string error;
    EXPECT_TRUE(ReadCatalog(reinterpret_cast<const uint8_t*>(unsigned_bytes.data()),
                            unsigned_bytes.size(), &read, &error))
        << error;
    const std::string name = SignerNameDer();
    const std::string serial = DerEncode(kDerInteger, kSerial);
    const std::string sha1 =
        DerEncode(kDerSequence, DerOid("1.3.14.3.2.26") + DerEncode(kDerNull, ""));
    const std::string tbs =
        DerEncode(kDerSequence, DerEncode(kDerContext0, DerInteger(2)) + serial + sha1 + name +
                                    DerEncode(kDerSequence, "") + name);
    const std::string certificate = DerEncode(kDerSequence, tbs);
    const std::string signer =
        DerEncode(kDerSequence, DerInteger(1) + DerEncode(kDerSequence, name + serial) + sha1 +
                                    DerEncode(kDerOctetString, "signature"));
    const std::string encapsulated = DerEncode(
        kDerSequence, DerOid("1.3.6.1.4.1.311.10.1") +
                          DerEncode(kDerContext0, DerEncode(kDerSequence, read.signed_content)));
    const std::string signed_data = DerEncode(
        kDerSequence, DerInteger(1) + DerEncode(kDerSet, "") + encapsulated +
                          DerEncode(kDerContext0, certificate) + DerEncode(kDerSet, signer));
    return DerEncode(kDerSequence,
                     DerOid("1.2.840.113549.1.7.2") + DerEncode(kDerContext0, signed_data));
}

// One WinVerifyTrust answer, and the line the log must give with the signer in Trusted
// Publishers and without.
struct TrustCase {
    const char* name;
    LONG answer;
    const char* when_publisher_trusted;
    const char* when_not;
};

static const char kRefused[] = "Windows will refuse it: ";
static const TrustCase kTrustCases[] = {
    {"trusted", 0, "Windows will install it without asking",
     "Windows will ask an administrator to trust Tavix Test Signer"},
    {"no_signature", TRUST_E_NOSIGNATURE, "unsigned: Windows will ask an administrator or refuse",
     "unsigned: Windows will ask an administrator or refuse"},
    {"bad_digest", TRUST_E_BAD_DIGEST, "the catalog's signature does not match its content",
     "the catalog's signature does not match its content"},
    {"untrusted_root", CERT_E_UNTRUSTEDROOT,
     "the signer's certificate chain ends in a root this machine does not trust",
     "the signer's certificate chain ends in a root this machine does not trust"},
    {"expired", CERT_E_EXPIRED,
     "the signer's certificate has expired and the signature has no time stamp",
     "the signer's certificate has expired and the signature has no time stamp"},
    {"explicit_distrust", TRUST_E_EXPLICIT_DISTRUST,
     "the signer's certificate is marked as distrusted on this machine",
     "the signer's certificate is marked as distrusted on this machine"},
};

void PrintTo(const TrustCase& c, std::ostream* os) {
    *os << c.name;
}

static std::wstring UpperHex(const std::string& bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    std::wstring out;
    for (unsigned char byte : bytes) {
        out.push_back(kHex[byte >> 4]);
        out.push_back(kHex[byte & 0x0f]);
    }
    return out;
}

class TrustPredictionTest : public testing::TestWithParam<TrustCase> {
protected:
    void SetUp() override {
        ResetCngFakes();
    }
};

TEST_P(TrustPredictionTest, LogsTheLineAndStagesWhateverItSays) {
    const TrustCase& c = GetParam();
    for (int trusted = 0; trusted < 2; ++trusted) {
        ResetPreinstallerFakes();
        preinstaller_fakes.trust_answer = c.answer;
        preinstaller_fakes.publisher_trusted = trusted != 0;
        Lay("quenusb.inf", kInf);
        Lay("quenusb.sys", kSys);
        Lay("quenusb.cat", SignedCatalogOf(kInf, kSys));
        EXPECT_EQ(RunPreinstaller(kWindows64Bit, kLine), ERROR_SUCCESS) << trusted;
        EXPECT_EQ(preinstaller_fakes.copy_calls.size(), 1u) << "staged whatever the prediction";

        ASSERT_EQ(preinstaller_fakes.trust_calls.size(), 1u);
        const WinVerifyTrustCall& call = preinstaller_fakes.trust_calls[0];
        EXPECT_TRUE(call.is_driver_action);
        EXPECT_TRUE(call.has_driver_info);
        EXPECT_EQ(call.ui_choice, WTD_UI_NONE);
        EXPECT_EQ(call.union_choice, WTD_CHOICE_CATALOG);
        EXPECT_EQ(call.state_action, WTD_STATEACTION_IGNORE);
        EXPECT_EQ(call.catalog, std::wstring(kFolder) + L"quenusb.cat");
        EXPECT_EQ(call.member_file, std::wstring(kFolder) + L"quenusb.inf");
        EXPECT_EQ(call.member_tag, UpperHex(Sha1(kInf)));

        // Trusted Publishers is asked only when the signature holds.
        ASSERT_EQ(preinstaller_fakes.store_calls.size(), c.answer == 0 ? 1u : 0u);
        if (c.answer == 0) {
            const CertStoreCall& store = preinstaller_fakes.store_calls[0];
            EXPECT_TRUE(store.is_system_store);
            EXPECT_EQ(store.name, L"TrustedPublisher");
            EXPECT_EQ(store.flags, CERT_SYSTEM_STORE_LOCAL_MACHINE | CERT_STORE_READONLY_FLAG |
                                       CERT_STORE_OPEN_EXISTING_FLAG);
            EXPECT_EQ(store.find_type, static_cast<DWORD>(CERT_FIND_SUBJECT_CERT));
            EXPECT_EQ(store.issuer, SignerNameDer());
            EXPECT_EQ(store.serial, "\x03\x02\x01") << "Windows keeps serials little-endian";
        }
        EXPECT_EQ(preinstaller_fakes.open_stores, 0);
        EXPECT_EQ(preinstaller_fakes.open_certificates, 0);

        const std::string wanted = trusted ? c.when_publisher_trusted : c.when_not;
        const bool refused = c.answer != 0 && c.answer != TRUST_E_NOSIGNATURE;
        const std::string line = (refused ? kRefused : "") + wanted;
        EXPECT_NE(preinstaller_fakes.log.find(" | trust | "), std::string::npos);
        EXPECT_NE(preinstaller_fakes.log.find(" | " + line + "\r\n"), std::string::npos)
            << preinstaller_fakes.log;
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, TrustPredictionTest, testing::ValuesIn(kTrustCases),
                         [](const testing::TestParamInfo<TrustCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(TrustPrediction, StagingKeepsWindowsOwnAnswerAndNamesIt) {
    ResetPreinstallerFakes();
    ResetCngFakes();
    preinstaller_fakes.copy_error = ERROR_AUTHENTICODE_TRUST_NOT_ESTABLISHED;
    Lay("quenusb.inf", kInf);
    Lay("quenusb.sys", kSys);
    Lay("quenusb.cat", SignedCatalogOf(kInf, kSys));
    EXPECT_EQ(RunPreinstaller(kWindows64Bit, kLine), ERROR_AUTHENTICODE_TRUST_NOT_ESTABLISHED);
    EXPECT_NE(preinstaller_fakes.log.find(
                  " | stage | C:\\dist\\Drive\\Tavix\\amd64\\quenusb.inf | 0xE0000242 | "
                  "ERROR_AUTHENTICODE_TRUST_NOT_ESTABLISHED: the signer is not in this machine's "
                  "Trusted Publishers, and no administrator accepted it | "),
              std::string::npos)
        << preinstaller_fakes.log;
}

}  // namespace
