// The DER reader's bounds and the writer's lengths: every malformed element is refused with a
// reason and leaves the reader where it was; what the writer makes, the reader takes back.
#include <gtest/gtest.h>

#include <string>

#include "catalog/der.h"

namespace {

struct BadElementCase {
    const char* name;
    std::string bytes;
    const char* reason;
};

static std::string Nested(size_t depth) {
    std::string element = DerEncode(kDerNull, "");
    for (size_t i = 0; i < depth; ++i) {
        element = DerEncode(kDerSequence, element);
    }
    return element;
}

static const BadElementCase kBadElements[] = {
    {"empty", "", "missing"},
    {"tag_only", "\x30", "cut short"},
    {"length_past_the_end", std::string("\x04\x05\x01\x02", 4), "past the end"},
    {"long_length_cut", std::string("\x04\x82\x01", 3), "does not fit"},
    {"indefinite_length", std::string("\x30\x80\x00\x00", 4), "indefinite"},
    {"long_form_for_a_short_length", std::string("\x04\x81\x05", 3) + "abcde", "shortest form"},
    {"leading_zero_length_byte", std::string("\x04\x82\x00\x90", 4) + std::string(0x90, 'a'),
     "shortest form"},
    {"five_length_bytes", std::string("\x04\x85\x01\x00\x00\x00\x00", 7), "does not fit"},
    {"multi_byte_tag", std::string("\x1f\x81\x01\x00", 4), "multi-byte tag"},
};

void PrintTo(const BadElementCase& c, std::ostream* os) {
    *os << c.name;
}

class DerBadElementTest : public testing::TestWithParam<BadElementCase> {};

TEST_P(DerBadElementTest, IsRefusedAndTheReaderStays) {
    const std::string& bytes = GetParam().bytes;
    DerReader reader = DerOver(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    const DerReader before = reader;
    DerElement element;
    std::string error;
    EXPECT_FALSE(DerNext(&reader, &element, &error));
    EXPECT_NE(error.find(GetParam().reason), std::string::npos) << error;
    EXPECT_EQ(reader.data, before.data);
    EXPECT_EQ(reader.size, before.size);
}

INSTANTIATE_TEST_SUITE_P(Cases, DerBadElementTest, testing::ValuesIn(kBadElements),
                         [](const testing::TestParamInfo<BadElementCase>& info) {
                             return std::string(info.param.name);
                         });

// Walks into the first element of each level until it is primitive; returns the depth reached
// or -1 when the reader refused.
static int DepthReached(const std::string& bytes) {
    DerReader reader = DerOver(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    int depth = 0;
    DerElement element;
    std::string error;
    while (DerNext(&reader, &element, &error)) {
        if (element.tag != kDerSequence) {
            return depth;
        }
        reader = element.content;
        ++depth;
    }
    return -1;
}

TEST(DerNesting, StopsPastTheLimit) {
    EXPECT_EQ(DepthReached(Nested(kDerMaxDepth)), kDerMaxDepth);
    EXPECT_EQ(DepthReached(Nested(kDerMaxDepth + 1)), -1);
}

// Content lengths around each change of the length's form.
struct LengthCase {
    const char* name;
    size_t length;
    size_t header;  // tag and length bytes
};

static const LengthCase kLengths[] = {
    {"zero", 0, 2},
    {"short_form_limit", 127, 2},
    {"one_length_byte", 128, 3},
    {"one_byte_limit", 255, 3},
    {"two_length_bytes", 256, 4},
    {"three_length_bytes", 65536, 5},
};

void PrintTo(const LengthCase& c, std::ostream* os) {
    *os << c.name;
}

class DerLengthTest : public testing::TestWithParam<LengthCase> {};

TEST_P(DerLengthTest, WriterUsesTheShortestFormAndTheReaderTakesItBack) {
    const std::string content(GetParam().length, 'x');
    const std::string encoded = DerEncode(kDerOctetString, content);
    EXPECT_EQ(encoded.size(), GetParam().header + GetParam().length);
    DerReader reader = DerOver(reinterpret_cast<const uint8_t*>(encoded.data()), encoded.size());
    DerElement element;
    std::string error;
    ASSERT_TRUE(DerNext(&reader, &element, &error)) << error;
    EXPECT_EQ(DerBytes(element.content), content);
    EXPECT_TRUE(DerAtEnd(reader));
}

INSTANTIATE_TEST_SUITE_P(Cases, DerLengthTest, testing::ValuesIn(kLengths),
                         [](const testing::TestParamInfo<LengthCase>& info) {
                             return std::string(info.param.name);
                         });

// OIDs and integers as the catalog writes them, against their known encodings.
struct EncodingCase {
    const char* name;
    std::string encoded;
    std::string expected;
};

static const EncodingCase kEncodings[] = {
    {"oid_ctl", DerOid("1.3.6.1.4.1.311.10.1"),
     std::string("\x06\x09\x2b\x06\x01\x04\x01\x82\x37\x0a\x01", 11)},
    {"oid_sha256", DerOid("2.16.840.1.101.3.4.2.1"),
     std::string("\x06\x09\x60\x86\x48\x01\x65\x03\x04\x02\x01", 11)},
    {"integer_one", DerInteger(1), std::string("\x02\x01\x01", 3)},
    {"integer_512", DerInteger(512), std::string("\x02\x02\x02\x00", 4)},
    {"integer_high_bit", DerInteger(0x80), std::string("\x02\x02\x00\x80", 4)},
    {"integer_flags", DerInteger(0x10010001), std::string("\x02\x04\x10\x01\x00\x01", 6)},
};

void PrintTo(const EncodingCase& c, std::ostream* os) {
    *os << c.name;
}

class DerEncodingTest : public testing::TestWithParam<EncodingCase> {};

TEST_P(DerEncodingTest, MatchesTheKnownBytes) {
    EXPECT_EQ(GetParam().encoded, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, DerEncodingTest, testing::ValuesIn(kEncodings),
                         [](const testing::TestParamInfo<EncodingCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(DerOidText, ReadsBackWhatTheWriterWrote) {
    const char* const oids[] = {"1.3.6.1.4.1.311.12.2.1", "2.16.840.1.101.3.4.2.1",
                                "1.2.840.113549.1.7.2"};
    for (const char* oid : oids) {
        const std::string content = DerOidContent(oid);
        const DerReader reader =
            DerOver(reinterpret_cast<const uint8_t*>(content.data()), content.size());
        std::string text;
        ASSERT_TRUE(DerOidText(reader, &text));
        EXPECT_EQ(text, oid);
    }
}

}  // namespace
