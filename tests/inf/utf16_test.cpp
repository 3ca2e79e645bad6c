// The UTF-16 codec on 16-bit units, as it runs in the shipped programs: surrogate pairs,
// unpaired surrogates, malformed UTF-8, and the INF reader's UTF-16LE decoding up to its cap.
#include <gtest/gtest.h>

#include <string>

#include "inf/inf_text.h"
#include "inf/utf16.h"

namespace {

static std::string Utf8Of(const std::u16string& units) {
    std::string out;
    AppendUtf8FromUtf16(units.data(), units.size(), &out);
    return out;
}

static std::u16string Utf16Of(const std::string& utf8) {
    std::u16string out;
    AppendUtf16FromUtf8(utf8, &out);
    return out;
}

// Text that converts both ways unchanged.
struct RoundTripCase {
    const char* name;
    std::u16string utf16;
    std::string utf8;
};

static const RoundTripCase kRoundTrips[] = {
    {"ascii", u"C:\\Drive\\x.inf", "C:\\Drive\\x.inf"},
    {"latin", u"Pilotes \u00e9t\u00e9", "Pilotes \xc3\xa9t\xc3\xa9"},
    {"cjk", u"\u6f22\u5b57", "\xe6\xbc\xa2\xe5\xad\x97"},
    {"pair", u"\xd83d\xde00", "\xf0\x9f\x98\x80"},
    {"first_pair", u"\xd800\xdc00", "\xf0\x90\x80\x80"},
    {"last_pair", u"\xdbff\xdfff", "\xf4\x8f\xbf\xbf"},
    {"last_before_surrogates", u"\xd7ff", "\xed\x9f\xbf"},
    {"first_after_surrogates", u"\xe000", "\xee\x80\x80"},
    {"empty", u"", ""},
};

// UTF-16 whose surrogates are not all paired; each stray unit becomes U+FFFD.
struct DecodeCase {
    const char* name;
    std::u16string utf16;
    std::string utf8;
};

static const DecodeCase kDecodes[] = {
    {"high_at_end", u"a\xd83d", "a\xef\xbf\xbd"},
    {"high_before_ascii", std::u16string(u"\xd83d") + u"a",
     "\xef\xbf\xbd"
     "a"},
    {"lone_low", u"\xde00", "\xef\xbf\xbd"},
    {"low_then_high", u"\xde00\xd83d", "\xef\xbf\xbd\xef\xbf\xbd"},
    {"first_low_twice", u"\xdc00\xdc00", "\xef\xbf\xbd\xef\xbf\xbd"},
    {"two_highs_then_low", u"\xd83d\xd83d\xde00", "\xef\xbf\xbd\xf0\x9f\x98\x80"},
};

// UTF-8 that encodes no character; each byte that starts no valid sequence becomes U+FFFD.
struct EncodeCase {
    const char* name;
    std::string utf8;
    std::u16string utf16;
};

static const EncodeCase kEncodes[] = {
    {"lone_continuation",
     "a\x80"
     "b",
     u"a\xfffd"
     u"b"},
    {"cut_sequence", "\xe6\xbc", u"\xfffd\xfffd"},
    {"overlong_slash", "\xc0\xaf", u"\xfffd\xfffd"},
    {"overlong_three_bytes", "\xe0\x80\xaf", u"\xfffd\xfffd\xfffd"},
    {"encoded_surrogate", "\xed\xa0\x80", u"\xfffd\xfffd\xfffd"},
    {"past_the_last_code_point", "\xf4\x90\x80\x80", u"\xfffd\xfffd\xfffd\xfffd"},
    {"lead_byte_f5", "\xf5", u"\xfffd"},
};

template <typename Case>
std::string NameOf(const testing::TestParamInfo<Case>& info) {
    return info.param.name;
}

// Names the rows in test output instead of dumping their bytes.
void PrintTo(const RoundTripCase& c, std::ostream* os) {
    *os << c.name;
}
void PrintTo(const DecodeCase& c, std::ostream* os) {
    *os << c.name;
}
void PrintTo(const EncodeCase& c, std::ostream* os) {
    *os << c.name;
}

class Utf16RoundTripTest : public testing::TestWithParam<RoundTripCase> {};

TEST_P(Utf16RoundTripTest, BothWays) {
    EXPECT_EQ(Utf8Of(GetParam().utf16), GetParam().utf8);
    EXPECT_EQ(Utf16Of(GetParam().utf8), GetParam().utf16);
}

INSTANTIATE_TEST_SUITE_P(Cases, Utf16RoundTripTest, testing::ValuesIn(kRoundTrips),
                         NameOf<RoundTripCase>);

class Utf16DecodeTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(Utf16DecodeTest, StraySurrogatesBecomeReplacement) {
    EXPECT_EQ(Utf8Of(GetParam().utf16), GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(Cases, Utf16DecodeTest, testing::ValuesIn(kDecodes), NameOf<DecodeCase>);

class Utf16EncodeTest : public testing::TestWithParam<EncodeCase> {};

TEST_P(Utf16EncodeTest, MalformedBytesBecomeReplacement) {
    EXPECT_EQ(Utf16Of(GetParam().utf8), GetParam().utf16);
}

INSTANTIATE_TEST_SUITE_P(Cases, Utf16EncodeTest, testing::ValuesIn(kEncodes), NameOf<EncodeCase>);

// An INF file in UTF-16LE: a BOM, then `units` copies of `unit`, little-endian.
static std::string Utf16LeFile(size_t units, char16_t unit) {
    std::string bytes = "\xff\xfe";
    for (size_t i = 0; i < units; ++i) {
        bytes.push_back(static_cast<char>(unit & 0xff));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

// The INF reader's UTF-16LE files, around the 4 MiB it reads at most.
struct InfFileCase {
    const char* name;
    std::string bytes;
    bool decodes;
    const char* expected;  // the text's start when it decodes, else a part of the error
};

static const size_t kUnitsAtCap = (kInfReadLimit - 2) / 2;

static const InfFileCase kInfFiles[] = {
    {"pair", Utf16LeFile(1, 0xd83d) + Utf16LeFile(1, 0xde00).substr(2), true, "\xf0\x9f\x98\x80"},
    {"unpaired_high", Utf16LeFile(1, 0xd83d) + Utf16LeFile(1, u'a').substr(2), true,
     "\xef\xbf\xbd"
     "a"},
    {"at_the_cap", Utf16LeFile(kUnitsAtCap, u';'), true, ";;;;"},
    {"one_unit_past_the_cap", Utf16LeFile(kUnitsAtCap + 1, u';'), false, "larger than 4 MiB"},
    {"odd_byte_count", Utf16LeFile(1, u'a') + "b", false, "odd number of bytes"},
    {"nul_unit", Utf16LeFile(2, 0), false, "NUL character at byte 2"},
};

void PrintTo(const InfFileCase& c, std::ostream* os) {
    *os << c.name;
}

class Utf16InfFileTest : public testing::TestWithParam<InfFileCase> {};

TEST_P(Utf16InfFileTest, DecodesWithinTheCap) {
    const InfFileCase& c = GetParam();
    std::string text;
    std::string error;
    InfEncoding encoding = kInfAnsiOrUtf8;
    const bool decoded = DecodeInfText(reinterpret_cast<const unsigned char*>(c.bytes.data()),
                                       c.bytes.size(), &text, &encoding, &error);
    ASSERT_EQ(decoded, c.decodes) << error;
    if (c.decodes) {
        EXPECT_EQ(encoding, kInfUtf16LeBom);
        EXPECT_EQ(text.substr(0, std::string(c.expected).size()), c.expected);
        EXPECT_EQ(text.size() >= kUnitsAtCap, c.bytes.size() == kInfReadLimit);
    } else {
        EXPECT_NE(error.find(c.expected), std::string::npos) << error;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Utf16InfFileTest, testing::ValuesIn(kInfFiles),
                         NameOf<InfFileCase>);

}  // namespace
