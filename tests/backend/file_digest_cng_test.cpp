// The Windows programs' catalog digests (CNG, read front to back through Windows' file calls)
// against the fakes: the right bytes reach the hash across chunk boundaries, and every file,
// provider and hash handle is closed on every path.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <string>
#include <vector>

#include "backend/fake_cng.h"
#include "backend/file_digest.h"
#include "pe/pe_builder.h"
#include "preinstaller/fake_preinstaller_api.h"

namespace {

static const wchar_t kPath[] = L"C:\\pkg\\file.bin";
static const char kPathUtf8[] = "C:\\pkg\\file.bin";

static std::string Digest(const EVP_MD* md, const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &size, md, NULL);
    return std::string(reinterpret_cast<const char*>(digest), size);
}

// A PE32 of `size` bytes with random-looking contents after its headers, and its certificate
// table entry set to (table, table_size).
static std::string Pe(size_t size, uint32_t table, uint32_t table_size) {
    const PeLayout layout = {0x014c, 0x10b, kExeCharacteristics, 2, 0x80, 1, 0};
    std::vector<unsigned char> bytes = BuildPe(layout);
    const size_t headers = bytes.size();
    bytes.resize(size);
    for (size_t i = headers; i < size; ++i) {
        bytes[i] = static_cast<unsigned char>((i * 2654435761u) >> 24);
    }
    PutU32(&bytes, 0x80 + 24 + 64, 0x12345678);  // a CheckSum, which is not hashed
    PutU32(&bytes, 0x80 + 24 + 128, table);
    PutU32(&bytes, 0x80 + 24 + 128 + 4, table_size);
    return std::string(bytes.begin(), bytes.end());
}

// What Authenticode hashes of such a PE, written as what it leaves out: the CheckSum, the
// certificate entry and the table; then zeros to a multiple of 8 when there is no table.
static std::string AuthenticodeBytes(const std::string& pe, size_t table, size_t table_size) {
    std::string kept = pe;
    kept.erase(table, table_size);
    kept.erase(0x80 + 24 + 128, 8);
    kept.erase(0x80 + 24 + 64, 4);
    if (table_size == 0 && pe.size() % 8 != 0) {
        kept.append(8 - pe.size() % 8, '\0');
    }
    return kept;
}

struct DigestCase {
    const char* name;
    std::string file;
    std::string hashed;  // the bytes the digests must be of
    bool is_pe;
};

static const size_t kBig = 600 * 1024;  // past the head and two chunks

static const DigestCase kDigestCases[] = {
    {"empty_file", "", "", false},
    {"small_flat", "[Version]\r\n", "[Version]\r\n", false},
    {"big_flat", std::string(kBig, 'x'), std::string(kBig, 'x'), false},
    {"pe_odd_size", Pe(0x603, 0, 0), AuthenticodeBytes(Pe(0x603, 0, 0), 0, 0), true},
    {"big_signed_pe", Pe(kBig, 500 * 1024, 0x2000),
     AuthenticodeBytes(Pe(kBig, 500 * 1024, 0x2000), 500 * 1024, 0x2000), true},
};

void PrintTo(const DigestCase& c, std::ostream* os) {
    *os << c.name;
}

class CngDigestTest : public testing::TestWithParam<DigestCase> {
protected:
    void SetUp() override {
        ResetPreinstallerFakes();
        ResetCngFakes();
    }
};

TEST_P(CngDigestTest, HashesThePlannedBytesAndClosesEverything) {
    preinstaller_fakes.files[kPath] = FakeFile{false, GetParam().file};
    FileDigests digests;
    std::string error;
    ASSERT_TRUE(DigestFile(kPathUtf8, true, &digests, &error)) << error;
    EXPECT_EQ(digests.is_pe, GetParam().is_pe);
    EXPECT_EQ(digests.sha1, Digest(EVP_sha1(), GetParam().hashed));
    EXPECT_EQ(digests.sha256, Digest(EVP_sha256(), GetParam().hashed));
    EXPECT_EQ(cng_fakes.opened, (std::vector<std::wstring>{L"SHA1", L"SHA256"}));
    EXPECT_EQ(cng_fakes.finish_sizes, (std::vector<ULONG>{20, 32}));
    EXPECT_EQ(cng_fakes.open_providers, 0);
    EXPECT_EQ(cng_fakes.open_hashes, 0);
    EXPECT_EQ(OpenFileHandles(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, CngDigestTest, testing::ValuesIn(kDigestCases),
                         [](const testing::TestParamInfo<DigestCase>& info) {
                             return std::string(info.param.name);
                         });

// Failures part-way: the reason, and nothing left open.
struct FailureCase {
    const char* name;
    size_t read_fails_at;
    const wchar_t* refused;
    const char* reason;
};

static const FailureCase kFailures[] = {
    {"missing_file", 0, L"", "could not be opened"},
    {"read_fails_in_the_head", 0, L"", "could not be read"},
    {"read_fails_after_the_head", 300 * 1024, L"", "could not be read to its end"},
    {"sha256_refused", static_cast<size_t>(-1), L"SHA256", "CNG refused"},
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class CngFailureTest : public testing::TestWithParam<FailureCase> {
protected:
    void SetUp() override {
        ResetPreinstallerFakes();
        ResetCngFakes();
    }
};

TEST_P(CngFailureTest, SaysWhyAndClosesEverything) {
    if (std::string(GetParam().name) != "missing_file") {
        preinstaller_fakes.files[kPath] = FakeFile{false, std::string(kBig, 'y')};
    }
    preinstaller_fakes.read_fails_at = GetParam().read_fails_at;
    cng_fakes.refused = GetParam().refused;
    FileDigests digests;
    std::string error;
    EXPECT_FALSE(DigestFile(kPathUtf8, true, &digests, &error));
    EXPECT_NE(error.find(GetParam().reason), std::string::npos) << error;
    EXPECT_EQ(cng_fakes.open_providers, 0);
    EXPECT_EQ(cng_fakes.open_hashes, 0);
    EXPECT_EQ(OpenFileHandles(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, CngFailureTest, testing::ValuesIn(kFailures),
                         [](const testing::TestParamInfo<FailureCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(CngDigest, Sha1AloneOpensOneProvider) {
    ResetPreinstallerFakes();
    ResetCngFakes();
    preinstaller_fakes.files[kPath] = FakeFile{false, "text"};
    FileDigests digests;
    std::string error;
    ASSERT_TRUE(DigestFile(kPathUtf8, false, &digests, &error)) << error;
    EXPECT_EQ(cng_fakes.opened, (std::vector<std::wstring>{L"SHA1"}));
    EXPECT_TRUE(digests.sha256.empty());
    EXPECT_EQ(cng_fakes.bytes_hashed, 4u);
}

}  // namespace
