// The writer against catalogs that Microsoft and Windows' tools made: each member we write for
// a file, given the same digest, kind, name and OSAttr, must appear byte for byte in the real
// catalog. The catalogs are read from REAL_PACKAGES at test time; the test skips without them.
#include <gtest/gtest.h>
#include <ctype.h>
#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "catalog/der.h"

namespace {

// Steps into the next element, which must have `tag`.
static bool Enter(DerReader* reader, uint8_t tag) {
    DerElement element;
    std::string error;
    if (!DerExpect(reader, tag, &element, &error)) {
        return false;
    }
    *reader = element.content;
    return true;
}

// Steps past `count` elements.
static bool Skip(DerReader* reader, int count) {
    DerElement element;
    std::string error;
    for (int i = 0; i < count; ++i) {
        if (!DerNext(reader, &element, &error)) {
            return false;
        }
    }
    return true;
}

// The first member's whole encoding in a catalog we wrote: ContentInfo, its [0], SignedData
// (past version and digest algorithms), its content info (past the type) and [0], the CTL
// (past usage, list identifier, time and member algorithm), then its members.
static std::string FirstMember(const std::string& catalog) {
    DerReader reader = DerOver(reinterpret_cast<const uint8_t*>(catalog.data()), catalog.size());
    DerElement member;
    std::string error;
    const bool found =
        Enter(&reader, kDerSequence) && Skip(&reader, 1) && Enter(&reader, kDerContext0) &&
        Enter(&reader, kDerSequence) && Skip(&reader, 2) && Enter(&reader, kDerSequence) &&
        Skip(&reader, 1) && Enter(&reader, kDerContext0) && Enter(&reader, kDerSequence) &&
        Skip(&reader, 4) && Enter(&reader, kDerSequence) && DerNext(&reader, &member, &error);
    EXPECT_TRUE(found) << "our own catalog's layout";
    return found ? std::string(reinterpret_cast<const char*>(member.encoded), member.encoded_size)
                 : std::string();
}

// A real v2 catalog, and whether its SHA-256 members carry the empty link our writer gives
// (some of Microsoft's carry "<<<Obsolete>>>" instead, which the writer does not copy).
struct RealCatalog {
    const char* path;
    bool sha256_members_alike;
};

static const RealCatalog kRealCatalogs[] = {
    {"coral-pcie/coral.cat", true},
    {"cyusb3-win10-x64/cyusb3.cat", false},
    {"ftdi-cdm-2.08.30-win81/ftdibus.cat", false},
    {"ftdi-cdm-2.08.30-win81/ftdiport.cat", false},
    {"coral-usb/Coral_USB_Accelerator.cat", true},
    {"scream-x64/scream.cat", true},
    {"stm32cube-dfu/stm32bootloader.cat", true},
};

void PrintTo(const RealCatalog& c, std::ostream* os) {
    *os << c.path;
}

class RealCatalogTest : public testing::TestWithParam<RealCatalog> {};

TEST_P(RealCatalogTest, HoldsEachMemberAsWeWriteIt) {
    const char* root = getenv("REAL_PACKAGES");
    std::ifstream in(std::string(root == NULL ? "" : root) + "/" + GetParam().path,
                     std::ios::binary);
    if (!in) {
        GTEST_SKIP() << "no real packages at '" << (root == NULL ? "" : root)
                     << "' (the shared folder beside the checkout)";
    }
    const std::string real((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Catalog catalog;
    std::string error;
    ASSERT_TRUE(
        ReadCatalog(reinterpret_cast<const uint8_t*>(real.data()), real.size(), &catalog, &error))
        << error;
    ASSERT_EQ(catalog.version, kCatalogV2);
    size_t compared = 0;
    for (const CatalogMember& member : catalog.members) {
        if (member.digest_kind == kDigestSha256 && !GetParam().sha256_members_alike) {
            continue;
        }
        const MemberInput input = {member.digest_kind, member.digest, member.is_pe, member.file,
                                   member.os_attr};
        const std::string ours = FirstMember(
            WriteUnsignedCatalog(kCatalogV2, std::string(16, '\0'), "260101000000Z", {input}, {}));
        EXPECT_NE(real.find(ours), std::string::npos)
            << member.file << (member.compat ? " (compat)" : " (SHA-256)")
            << ": our member is not in the real catalog";
        ++compared;
    }
    EXPECT_GT(compared, 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, RealCatalogTest, testing::ValuesIn(kRealCatalogs),
                         [](const testing::TestParamInfo<RealCatalog>& info) {
                             std::string name;
                             for (const char* c = info.param.path; *c != '\0'; ++c) {
                                 name += isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             }
                             return name;
                         });

}  // namespace
