// Which bytes a catalog digest covers: flat files whole; PE files without the CheckSum, the
// certificate-table entry and the table, zero-padded to 8 bytes when unsigned.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pe/pe_hash_plan.h"
#include "pe/pe_builder.h"

namespace {

static const PeLayout kPe32 = {0x014c, 0x10b, kExeCharacteristics, 2, 0x80, 1, 0};
static const PeLayout kPe32Plus = {0x8664, 0x20b, kExeCharacteristics, 2, 0x80, 1, 0};
// Where the optional header starts in these layouts, and where its fields are.
static const uint64_t kOptional = 0x80 + 24;
static const uint64_t kCheckSum = kOptional + 64;
static const uint64_t kCertEntry32 = kOptional + 128;
static const uint64_t kCertEntry64 = kOptional + 144;

// A PE of `layout` whose size is `size` (grown or cut at the end) and whose certificate table
// entry says (offset, length).
static std::vector<unsigned char> Pe(const PeLayout& layout, size_t size, uint32_t table,
                                     uint32_t table_size) {
    std::vector<unsigned char> bytes = BuildPe(layout);
    bytes.resize(size, 0);
    const uint64_t entry = layout.magic == 0x20b ? kCertEntry64 : kCertEntry32;
    PutU32(&bytes, entry, table);
    PutU32(&bytes, entry + 4, table_size);
    return bytes;
}

struct PlanCase {
    const char* name;
    std::vector<unsigned char> bytes;
    std::vector<ByteRange> ranges;
    uint64_t padding;
};

static const size_t kSize = 0x600;

static const PlanCase kPlans[] = {
    {"flat_text", {'[', 'V', 'e', 'r'}, {{0, 4}}, 0},
    {"mz_without_pe_header", {'M', 'Z', 0, 0}, {{0, 4}}, 0},
    {"pe32_unsigned",
     Pe(kPe32, kSize, 0, 0),
     {{0, kCheckSum}, {kCheckSum + 4, kCertEntry32}, {kCertEntry32 + 8, kSize}},
     0},
    {"pe32_unsigned_odd_size",
     Pe(kPe32, kSize + 3, 0, 0),
     {{0, kCheckSum}, {kCheckSum + 4, kCertEntry32}, {kCertEntry32 + 8, kSize + 3}},
     5},
    {"pe32plus_signed",
     Pe(kPe32Plus, kSize + 0x100, kSize, 0x100),
     {{0, kCheckSum}, {kCheckSum + 4, kCertEntry64}, {kCertEntry64 + 8, kSize}},
     0},
    {"pe32_signed_with_bytes_after_the_table",
     Pe(kPe32, kSize + 0x108, kSize, 0x100),
     {{0, kCheckSum},
      {kCheckSum + 4, kCertEntry32},
      {kCertEntry32 + 8, kSize},
      {kSize + 0x100, kSize + 0x108}},
     0},
};

void PrintTo(const PlanCase& c, std::ostream* os) {
    *os << c.name;
}

class HashPlanTest : public testing::TestWithParam<PlanCase> {};

TEST_P(HashPlanTest, CoversTheRightBytes) {
    const PlanCase& c = GetParam();
    HashPlan plan;
    std::string error;
    ASSERT_TRUE(PlanFileHash(c.bytes.data(), c.bytes.size(), c.bytes.size(), &plan, &error))
        << error;
    EXPECT_EQ(plan.is_pe, c.ranges.size() > 1);
    ASSERT_EQ(plan.ranges.size(), c.ranges.size());
    for (size_t i = 0; i < c.ranges.size(); ++i) {
        EXPECT_EQ(plan.ranges[i].begin, c.ranges[i].begin) << "range " << i;
        EXPECT_EQ(plan.ranges[i].end, c.ranges[i].end) << "range " << i;
    }
    EXPECT_EQ(plan.zero_padding, c.padding);
}

INSTANTIATE_TEST_SUITE_P(Cases, HashPlanTest, testing::ValuesIn(kPlans),
                         [](const testing::TestParamInfo<PlanCase>& info) {
                             return std::string(info.param.name);
                         });

// Certificate tables that do not lie inside the file after its headers.
struct BadTableCase {
    const char* name;
    uint32_t table;
    uint32_t table_size;
};

static const BadTableCase kBadTables[] = {
    {"starts_past_the_end", kSize + 8, 0x10},
    {"ends_past_the_end", kSize - 0x10, 0x20},
    {"size_wraps_around", kSize - 0x10, 0xffffffffu},
    {"inside_the_headers", 0x10, 0x10},
};

void PrintTo(const BadTableCase& c, std::ostream* os) {
    *os << c.name;
}

class BadCertificateTableTest : public testing::TestWithParam<BadTableCase> {};

TEST_P(BadCertificateTableTest, IsRefused) {
    const std::vector<unsigned char> bytes =
        Pe(kPe32, kSize, GetParam().table, GetParam().table_size);
    HashPlan plan;
    std::string error;
    EXPECT_FALSE(PlanFileHash(bytes.data(), bytes.size(), bytes.size(), &plan, &error));
    EXPECT_NE(error.find("certificate table"), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(Cases, BadCertificateTableTest, testing::ValuesIn(kBadTables),
                         [](const testing::TestParamInfo<BadTableCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
