// The catalog writer against the reader: what is written comes back, members in identifier
// order, each identifier once; and every kind of damaged catalog is refused with a reason.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "catalog/der.h"

namespace {

static const std::string kListId(16, '\x42');
static const char kTime[] = "231114221320Z";

static MemberInput Input(DigestKind kind, char fill, bool is_pe, const char* file) {
    MemberInput input = {kind, std::string(kDigestSizes[kind], fill), is_pe, file, "2:10.0"};
    return input;
}

static Catalog ReadBack(const std::string& bytes) {
    Catalog catalog;
    std::string error;
    EXPECT_TRUE(
        ReadCatalog(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &catalog, &error))
        << error;
    return catalog;
}

TEST(CatalogRoundTrip, V1MembersComeBackSortedWithNamesKindsAndTags) {
    const std::vector<MemberInput> inputs = {Input(kDigestSha1, '\xbb', true, "b.sys"),
                                             Input(kDigestSha1, '\x11', false, "a.inf")};
    const std::vector<CatalogAttribute> attributes = {{"OS", "_v100_X64"},
                                                      {"HWID1", "usb\\vid_f055&pid_0a11"}};
    const Catalog catalog =
        ReadBack(WriteUnsignedCatalog(kCatalogV1, kListId, kTime, inputs, attributes));
    EXPECT_EQ(catalog.version, kCatalogV1);
    EXPECT_EQ(catalog.list_id, kListId);
    EXPECT_EQ(catalog.this_update, kTime);
    EXPECT_EQ(catalog.signer_count, 0u);
    ASSERT_EQ(catalog.members.size(), 2u);
    // "11..." sorts before "BB..." in the upper-case hex identifiers.
    EXPECT_EQ(catalog.members[0].file, "a.inf");
    EXPECT_FALSE(catalog.members[0].is_pe);
    EXPECT_EQ(catalog.members[1].file, "b.sys");
    EXPECT_TRUE(catalog.members[1].is_pe);
    for (const CatalogMember& member : catalog.members) {
        EXPECT_EQ(member.os_attr, "2:10.0");
        EXPECT_EQ(member.tag, MemberTagFor(kCatalogV1, kDigestSha1, member.digest));
        EXPECT_EQ(member.tag.size(), 82u) << "40 hex digits and a NUL in UTF-16LE";
    }
    ASSERT_EQ(catalog.attributes.size(), 2u);
    EXPECT_EQ(catalog.attributes[0].name, "OS");
    EXPECT_EQ(catalog.attributes[1].value, "usb\\vid_f055&pid_0a11");
}

TEST(CatalogRoundTrip, V2HoldsRawSha256AndCompatSha1Members) {
    const std::vector<MemberInput> inputs = {Input(kDigestSha256, '\x22', true, "a.sys"),
                                             Input(kDigestSha1, '\x22', true, "a.sys")};
    const Catalog catalog = ReadBack(WriteUnsignedCatalog(kCatalogV2, kListId, kTime, inputs, {}));
    EXPECT_EQ(catalog.version, kCatalogV2);
    ASSERT_EQ(catalog.members.size(), 2u);
    for (const CatalogMember& member : catalog.members) {
        EXPECT_EQ(member.tag, member.digest) << "v2 identifiers are the raw digest";
        EXPECT_TRUE(member.is_pe);
        // The SHA-1 member is written as Microsoft's compat entries are: no indirect data.
        EXPECT_EQ(member.compat, member.digest_kind == kDigestSha1);
    }
}

TEST(CatalogRoundTrip, FilesWithTheSameBytesShareOneMember) {
    const std::vector<MemberInput> inputs = {Input(kDigestSha1, '\x33', true, "one.sys"),
                                             Input(kDigestSha1, '\x33', true, "two.sys")};
    EXPECT_EQ(ReadBack(WriteUnsignedCatalog(kCatalogV1, kListId, kTime, inputs, {})).members.size(),
              1u);
}

// A well-formed catalog with one member, to damage.
static std::string Sample() {
    return WriteUnsignedCatalog(kCatalogV1, kListId, kTime,
                                {Input(kDigestSha1, '\x44', false, "a.inf")}, {{"OS", "_v100"}});
}

// The sample with its content type OID replaced by another of the same length.
static std::string WrongContentType() {
    std::string bytes = Sample();
    const std::string signed_data = DerOid("1.2.840.113549.1.7.2");
    bytes.replace(bytes.find(signed_data), signed_data.size(), DerOid("1.2.840.113549.1.7.1"));
    return bytes;
}

static const char kV1List[] = "1.3.6.1.4.1.311.12.1.2";
static const char kV2List[] = "1.3.6.1.4.1.311.12.1.3";
// Member info 2 of a PE file, as a v2 catalog's member attribute.
static const std::string kPeInfo2 =
    DerEncode(kDerSequence,
              DerOid("1.3.6.1.4.1.311.12.2.3") + DerEncode(kDerSet, std::string("\x80\x00", 2)));

// A catalog of `list` whose only member has identifier `tag` and these attributes, without
// indirect data.
static std::string MemberWithoutDigest(const char* list, const std::string& tag,
                                       const std::string& attributes) {
    const std::string member =
        DerEncode(kDerSequence, DerEncode(kDerOctetString, tag) + DerEncode(kDerSet, attributes));
    const std::string ctl = DerEncode(
        kDerSequence, DerEncode(kDerSequence, DerOid("1.3.6.1.4.1.311.12.1.1")) +
                          DerEncode(kDerOctetString, kListId) + DerEncode(kDerUtcTime, kTime) +
                          DerEncode(kDerSequence, DerOid(list) + DerEncode(kDerNull, "")) +
                          DerEncode(kDerSequence, member));
    const std::string signed_data = DerEncode(
        kDerSequence,
        DerInteger(1) + DerEncode(kDerSet, "") +
            DerEncode(kDerSequence, DerOid("1.3.6.1.4.1.311.10.1") + DerEncode(kDerContext0, ctl)) +
            DerEncode(kDerSet, ""));
    return DerEncode(kDerSequence,
                     DerOid("1.2.840.113549.1.7.2") + DerEncode(kDerContext0, signed_data));
}

TEST(CatalogRead, V2CompatMemberCarriesItsSha1InItsIdentifier) {
    const std::string sha1(20, '\x5a');
    const Catalog catalog = ReadBack(MemberWithoutDigest(kV2List, sha1, kPeInfo2));
    ASSERT_EQ(catalog.members.size(), 1u);
    EXPECT_TRUE(catalog.members[0].compat);
    EXPECT_EQ(catalog.members[0].digest_kind, kDigestSha1);
    EXPECT_EQ(catalog.members[0].digest, sha1);
    EXPECT_TRUE(catalog.members[0].is_pe) << "member info 2 says PE";
}

static std::string DeeplyNested() {
    std::string element = DerEncode(kDerNull, "");
    for (int i = 0; i < kDerMaxDepth + 8; ++i) {
        element = DerEncode(kDerSequence, element);
    }
    return element;
}

struct BadCatalogCase {
    const char* name;
    std::string bytes;
    const char* reason;
};

static const BadCatalogCase kBadCatalogs[] = {
    {"zero_bytes", "", "is empty"},
    {"truncated", Sample().substr(0, Sample().size() / 2), "past the end"},
    {"garbage", "this is not a catalog at all", "not a catalog"},
    {"wrong_content_type", WrongContentType(), "1.2.840.113549.1.7.1 where"},
    {"length_past_the_end", std::string("\x30\x84\x7f\xff\xff\xff", 6) + Sample(), "past the end"},
    {"deep_nesting", DeeplyNested(), "not a catalog"},
    {"member_without_digest", MemberWithoutDigest(kV1List, "tag", ""), "has no digest"},
    {"v1_member_with_a_sha1_tag_but_no_digest",
     MemberWithoutDigest(kV1List, std::string(20, '\x5a'), ""), "has no digest"},
    {"v2_member_without_digest_whose_tag_is_not_20_bytes",
     MemberWithoutDigest(kV2List, std::string(32, '\x5a'), kPeInfo2), "has no digest"},
};

void PrintTo(const BadCatalogCase& c, std::ostream* os) {
    *os << c.name;
}

class BadCatalogTest : public testing::TestWithParam<BadCatalogCase> {};

TEST_P(BadCatalogTest, IsRefusedWithAReason) {
    const std::string& bytes = GetParam().bytes;
    Catalog catalog;
    std::string error;
    EXPECT_FALSE(ReadCatalog(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &catalog,
                             &error));
    EXPECT_NE(error.find(GetParam().reason), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(Cases, BadCatalogTest, testing::ValuesIn(kBadCatalogs),
                         [](const testing::TestParamInfo<BadCatalogCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
