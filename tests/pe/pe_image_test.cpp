// InspectPeImage on headers built in the test: each kind of program, and each way a file can
// fail to be one, with the description a person reads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pe/pe_image.h"
#include "pe/pe_builder.h"

namespace {

static const PeLayout kX86Gui = {0x014c, 0x10b, kExeCharacteristics, 2, 0x80, 3, 0};
static const PeLayout kX64Gui = {0x8664, 0x20b, kExeCharacteristics, 2, 0x80, 3, 0};
static const PeLayout kX64Console = {0x8664, 0x20b, kExeCharacteristics, 3, 0x80, 1, 0};
static const PeLayout kArm64Gui = {0xaa64, 0x20b, kExeCharacteristics, 2, 0x80, 1, 0};
static const PeLayout kX86Dll = {0x014c, 0x10b, kDllCharacteristics, 2, 0x80, 1, 0};
static const PeLayout kLfanewFar = {0x014c, 0x10b, kExeCharacteristics, 2, 0x80, 1, 0};
static const PeLayout kShortOptional = {0x014c, 0x10b, kExeCharacteristics, 2, 0x80, 1, 60};
static const PeLayout kUnknownMagic = {0x014c, 0x107, kExeCharacteristics, 2, 0x80, 1, 224};
static const PeLayout kObjectFile = {0x014c, 0x10b, 0x0000, 2, 0x80, 1, 0};

// How a case damages the built file before inspection.
enum Damage { kNone, kCutAt, kLfanewTo, kSignatureByte0, kNotMz, kEmpty, kReadOnlyFirst };

struct DamageSpec {
    Damage kind;
    size_t value;  // where to cut, the offset or byte to write, or how much is read
};

// Which launcher row would take the file as its program.
enum ProgramFor { kForNeither, kForX86, kForAmd64 };

struct PeCase {
    const char* name;
    const PeLayout* layout;
    DamageSpec damage;
    PeVerdict verdict;
    const char* description;
    ProgramFor program_for;
};

static const PeCase kPeCases[] = {
    {"x86 exe", &kX86Gui, {kNone, 0}, kPeImage, "a PE32 i386 GUI program", kForX86},
    {"x64 exe", &kX64Gui, {kNone, 0}, kPeImage, "a PE32+ AMD64 GUI program", kForAmd64},
    {"x64 console exe",
     &kX64Console,
     {kNone, 0},
     kPeImage,
     "a PE32+ AMD64 console program",
     kForAmd64},
    {"arm64 exe is neither",
     &kArm64Gui,
     {kNone, 0},
     kPeImage,
     "a PE32+ ARM64 GUI program",
     kForNeither},
    {"dll is not a program", &kX86Dll, {kNone, 0}, kPeImage, "a PE32 i386 DLL", kForNeither},
    {"image not marked executable",
     &kObjectFile,
     {kNone, 0},
     kPeImage,
     "a PE32 i386 image not marked executable",
     kForNeither},
    {"truncated inside the DOS header",
     &kX86Gui,
     {kCutAt, 40},
     kPeTruncated,
     "a Windows program cut short (the file ends inside its headers or sections)",
     kForNeither},
    {"truncated inside the section table",
     &kX86Gui,
     {kCutAt, 0x80 + 24 + 224 + 50},
     kPeTruncated,
     "a Windows program cut short (the file ends inside its headers or sections)",
     kForNeither},
    {"truncated inside the section data",
     &kX86Gui,
     {kCutAt, 0x500},
     kPeTruncated,
     "a Windows program cut short (the file ends inside its headers or sections)",
     kForNeither},
    {"e_lfanew beyond the read limit",
     &kLfanewFar,
     {kLfanewTo, 0x7ffffff0},
     kPeHeaderOutOfRange,
     "a file whose PE header offset points beyond the first 64 KiB",
     kForNeither},
    {"e_lfanew past the end of a small file",
     &kX86Gui,
     {kLfanewTo, 0x2000},
     kPeTruncated,
     "a Windows program cut short (the file ends inside its headers or sections)",
     kForNeither},
    {"headers past the bytes read of a big file",
     &kX86Gui,
     {kReadOnlyFirst, 0x100},
     kPeHeaderOutOfRange,
     "a file whose PE header offset points beyond the first 64 KiB",
     kForNeither},
    {"no PE signature",
     &kX86Gui,
     {kSignatureByte0, 'N'},
     kPeNoSignature,
     "an MZ file without a PE header (a DOS program or damaged)",
     kForNeither},
    {"not MZ",
     &kX86Gui,
     {kNotMz, 0},
     kPeNotMz,
     "not a Windows program (no MZ header)",
     kForNeither},
    {"empty file", &kX86Gui, {kEmpty, 0}, kPeEmpty, "an empty file", kForNeither},
    {"optional header too short",
     &kShortOptional,
     {kNone, 0},
     kPeBadOptionalHeader,
     "a PE file with a damaged optional header",
     kForNeither},
    {"unknown optional header magic",
     &kUnknownMagic,
     {kNone, 0},
     kPeBadOptionalHeader,
     "a PE file with a damaged optional header",
     kForNeither},
};

TEST(InspectPeImage, Table) {
    for (const PeCase& row : kPeCases) {
        SCOPED_TRACE(row.name);
        std::vector<unsigned char> bytes = BuildPe(*row.layout);
        size_t visible = bytes.size();
        switch (row.damage.kind) {
            case kNone:
                break;
            case kCutAt:
                bytes.resize(row.damage.value);
                visible = bytes.size();
                break;
            case kLfanewTo:
                PutU32(&bytes, 0x3c, static_cast<uint32_t>(row.damage.value));
                break;
            case kSignatureByte0:
                bytes[row.layout->lfanew] = static_cast<unsigned char>(row.damage.value);
                break;
            case kNotMz:
                bytes[0] = 0x7f;
                bytes[1] = 'E';
                break;
            case kEmpty:
                bytes.clear();
                visible = 0;
                break;
            case kReadOnlyFirst:
                visible = row.damage.value;
                break;
        }
        // Only the visible prefix is handed over, copied so ASan sees any read past it.
        const std::vector<unsigned char> prefix(bytes.begin(), bytes.begin() + visible);
        const PeImageInfo info = InspectPeImage(prefix.data(), prefix.size(), bytes.size());

        EXPECT_EQ(info.verdict, row.verdict);
        EXPECT_EQ(DescribePeImage(info), row.description);
        EXPECT_EQ(IsExecutableFor(info, kPeMachineI386, kPeMagicPe32), row.program_for == kForX86);
        EXPECT_EQ(IsExecutableFor(info, kPeMachineAmd64, kPeMagicPe32Plus),
                  row.program_for == kForAmd64);
    }
}

TEST(InspectPeImage, ReadsSectionsEnd) {
    const std::vector<unsigned char> bytes = BuildPe(kX64Gui);
    const PeImageInfo info = InspectPeImage(bytes.data(), bytes.size(), bytes.size());
    EXPECT_EQ(info.sections_end, bytes.size());
    EXPECT_EQ(info.subsystem, kPeSubsystemGui);
}

}  // namespace
