// Fuzz target: the catalog reader on arbitrary bytes, in heap storage of exactly their size.
// Checks that a refusal always says why, that what is read is consistent (each member has a
// digest of its kind's size), and that a catalog written from what was read reads back alike.
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "fuzz_check.h"

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
    return 0;
}
