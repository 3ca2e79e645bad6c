// Which hardware IDs each build of the pre-installer finds in an INF's models sections.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inf/inf_document.h"
#include "inf/inf_models.h"

namespace {

struct HardwareIdCase {
    const char* name;
    const char* inf;
    WindowsKind kind;
    const char* ids;  // expected, joined by '|'; null when an error is expected
    const char* error_part;
};

static const char kDecorated[] =
    "[Manufacturer]\n%Mfg%=Models,NTamd64\n"
    "[Models]\nDev=Inst, USB\\VID_1&PID_1\n"
    "[Models.NTamd64]\nDev=Inst, USB\\VID_1&PID_1 ; the 64-bit line\n"
    "Dev2=Inst, \"USB\\VID_1&PID_2\", USB\\Class_FF\n"
    "[Strings]\nMfg=\"Maker\"\n";

static const HardwareIdCase kCases[] = {
    {"amd64_reads_the_decorated_section", kDecorated, kWindows64Bit,
     "USB\\VID_1&PID_1|USB\\VID_1&PID_2|USB\\Class_FF", NULL},
    {"x86_reads_the_undecorated_section", kDecorated, kWindows32Bit, "USB\\VID_1&PID_1", NULL},
    {"x86_prefers_its_decoration",
     "[Manufacturer]\nM=Models,NTx86,NTamd64\n[Models]\nD=I,OLD\n[Models.NTx86]\nD=I,NEW\n",
     kWindows32Bit, "NEW", NULL},
    {"several_ids_per_line_and_comments",
     "[Manufacturer]\nM=Models\n[Models]\n; a comment line\nD=I, A, B ,C ; trailing\n",
     kWindows32Bit, "A|B|C", NULL},
    {"duplicates_once_ignoring_case",
     "[Manufacturer]\nM=Models\n[Models]\nD=I,USB\\VID_1\nE=I,usb\\vid_1,X\n", kWindows32Bit,
     "USB\\VID_1|X", NULL},
    {"string_tokens_in_ids",
     "[Manufacturer]\nM=Models\n[Models]\nD=I,%Bus%\\VID_1,%Missing%\n[Strings]\nBus=USB\n",
     kWindows32Bit, "USB\\VID_1|%Missing%", NULL},
    {"continued_line", "[Manufacturer]\nM=Models\n[Models]\nD=I,\\\n  A, B\n", kWindows32Bit, "A|B",
     NULL},
    {"several_manufacturers",
     "[Manufacturer]\nM=One,NTamd64\nN=Two,NTamd64\n[One.NTamd64]\nD=I,A\n[Two.NTamd64]\nD=I,B\n",
     kWindows64Bit, "A|B", NULL},
    {"version_suffixed_decoration",
     "[Manufacturer]\nM=Models,NTamd64.10.0...16299\n[Models.NTamd64.10.0...16299]\nD=I,A\n",
     kWindows64Bit, "A", NULL},
    {"amd64_ignores_undecorated", "[Manufacturer]\nM=Models\n[Models]\nD=I,A\n", kWindows64Bit,
     NULL, "no models section decorated NTamd64"},
    {"no_manufacturer", "[Version]\nSignature=\"$Windows NT$\"\n", kWindows32Bit, NULL,
     "no [Manufacturer] entries"},
    {"models_section_missing", "[Manufacturer]\nM=Models,NTamd64\n", kWindows64Bit, NULL,
     "no hardware IDs in [Models.NTamd64]"},
    {"models_without_ids", "[Manufacturer]\nM=Models\n[Models]\nD=I\n", kWindows32Bit, NULL,
     "no hardware IDs in [Models]"},
};

// Names the row in test output instead of dumping its bytes.
void PrintTo(const HardwareIdCase& c, std::ostream* os) {
    *os << c.name;
}

class HardwareIdsTest : public testing::TestWithParam<HardwareIdCase> {};

TEST_P(HardwareIdsTest, FindsTheIdsOfItsArchitecture) {
    const HardwareIdCase& c = GetParam();
    std::vector<std::string> ids;
    std::string error;
    const bool found =
        HardwareIdsForArch(ParseInfText(c.inf, kInfAnsiOrUtf8), c.kind, &ids, &error);
    if (c.ids == NULL) {
        EXPECT_FALSE(found);
        EXPECT_NE(error.find(c.error_part), std::string::npos) << error;
        return;
    }
    ASSERT_TRUE(found) << error;
    std::string joined;
    for (size_t i = 0; i < ids.size(); ++i) {
        joined += (i == 0 ? "" : "|") + ids[i];
    }
    EXPECT_EQ(joined, c.ids);
}

INSTANTIATE_TEST_SUITE_P(Cases, HardwareIdsTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<HardwareIdCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
