// PE header inspection on a bounded byte prefix, with every offset checked before use.
#include "pe/pe_image.h"

#include <stdio.h>

// Offsets and sizes fixed by the PE format.
static const size_t kDosHeaderSize = 0x40;
static const size_t kLfanewOffset = 0x3c;
static const size_t kSignatureSize = 4;
static const size_t kCoffHeaderSize = 20;
static const size_t kCoffMachine = 0;
static const size_t kCoffSectionCount = 2;
static const size_t kCoffOptionalHeaderSize = 16;
static const size_t kCoffCharacteristics = 18;
static const size_t kOptionalSubsystem = 68;  // the same in PE32 and PE32+
static const size_t kSectionHeaderSize = 40;
static const size_t kSectionRawSize = 16;
static const size_t kSectionRawPointer = 20;
static const uint16_t kFileExecutableImage = 0x0002;
static const uint16_t kFileDll = 0x2000;

static uint16_t ReadU16(const unsigned char* at) {
    return static_cast<uint16_t>(at[0] | (at[1] << 8));
}

static uint32_t ReadU32(const unsigned char* at) {
    return static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8) |
           (static_cast<uint32_t>(at[2]) << 16) | (static_cast<uint32_t>(at[3]) << 24);
}

static PeImageInfo Verdict(PeVerdict verdict) {
    PeImageInfo info = {verdict, 0, 0, 0, 0, 0};
    return info;
}

// The verdict for a structure that needs bytes up to `end`: a file that ends first is cut
// short; one that goes on past the read limit points somewhere the checker will not follow.
static bool Covered(uint64_t end, size_t size, uint64_t file_size, PeImageInfo* failure) {
    if (end <= size) {
        return true;
    }
    *failure = Verdict(end > file_size ? kPeTruncated : kPeHeaderOutOfRange);
    return false;
}

PeImageInfo InspectPeImage(const unsigned char* data, size_t size, uint64_t file_size) {
    if (file_size == 0) {
        return Verdict(kPeEmpty);
    }
    if (size < 2 || data[0] != 'M' || data[1] != 'Z') {
        return Verdict(kPeNotMz);
    }
    PeImageInfo failure;
    if (!Covered(kDosHeaderSize, size, file_size, &failure)) {
        return failure;
    }
    const uint64_t pe = ReadU32(data + kLfanewOffset);
    if (pe > kPeHeaderReadLimit) {
        return Verdict(kPeHeaderOutOfRange);
    }
    if (!Covered(pe + kSignatureSize, size, file_size, &failure)) {
        return failure;
    }
    const unsigned char* signature = data + pe;
    if (signature[0] != 'P' || signature[1] != 'E' || signature[2] != 0 || signature[3] != 0) {
        return Verdict(kPeNoSignature);
    }
    const uint64_t coff = pe + kSignatureSize;
    if (!Covered(coff + kCoffHeaderSize, size, file_size, &failure)) {
        return failure;
    }
    PeImageInfo info = Verdict(kPeImage);
    info.machine = ReadU16(data + coff + kCoffMachine);
    info.characteristics = ReadU16(data + coff + kCoffCharacteristics);
    const uint16_t section_count = ReadU16(data + coff + kCoffSectionCount);
    const uint16_t optional_size = ReadU16(data + coff + kCoffOptionalHeaderSize);

    const uint64_t optional = coff + kCoffHeaderSize;
    if (optional_size < kOptionalSubsystem + 2) {
        return Verdict(kPeBadOptionalHeader);
    }
    if (!Covered(optional + optional_size, size, file_size, &failure)) {
        return failure;
    }
    info.magic = ReadU16(data + optional);
    if (info.magic != kPeMagicPe32 && info.magic != kPeMagicPe32Plus) {
        return Verdict(kPeBadOptionalHeader);
    }
    info.subsystem = ReadU16(data + optional + kOptionalSubsystem);

    const uint64_t sections = optional + optional_size;
    if (!Covered(sections + uint64_t{section_count} * kSectionHeaderSize, size, file_size,
                 &failure)) {
        return failure;
    }
    for (uint16_t i = 0; i < section_count; ++i) {
        const unsigned char* section = data + sections + uint64_t{i} * kSectionHeaderSize;
        const uint64_t end =
            uint64_t{ReadU32(section + kSectionRawPointer)} + ReadU32(section + kSectionRawSize);
        if (end > info.sections_end) {
            info.sections_end = end;
        }
    }
    if (info.sections_end > file_size) {
        return Verdict(kPeTruncated);
    }
    return info;
}

bool IsExecutableFor(const PeImageInfo& info, uint16_t machine, uint16_t magic) {
    return info.verdict == kPeImage && info.machine == machine && info.magic == magic &&
           (info.characteristics & kFileExecutableImage) != 0 &&
           (info.characteristics & kFileDll) == 0;
}

struct NamedValue {
    uint16_t value;
    const char* name;
};

static const NamedValue kMachineNames[] = {
    {kPeMachineI386, "i386"},  {kPeMachineAmd64, "AMD64"}, {kPeMachineArm64, "ARM64"},
    {0x01c4, "ARM (Thumb-2)"}, {0x0200, "Itanium"},
};

static const NamedValue kSubsystemNames[] = {
    {kPeSubsystemGui, "GUI"},
    {kPeSubsystemConsole, "console"},
    {1, "native"},
    {10, "EFI application"},
};

static const char* kVerdictTexts[] = {
    "",
    "an empty file",
    "not a Windows program (no MZ header)",
    "a Windows program cut short (the file ends inside its headers or sections)",
    "a file whose PE header offset points beyond the first 64 KiB",
    "an MZ file without a PE header (a DOS program or damaged)",
    "a PE file with a damaged optional header",
};

static std::string NameOf(const NamedValue* table, size_t count, uint16_t value) {
    for (size_t i = 0; i < count; ++i) {
        if (table[i].value == value) {
            return table[i].name;
        }
    }
    char unknown[32];
    snprintf(unknown, sizeof unknown, "unknown (0x%04x)", static_cast<unsigned>(value));
    return unknown;
}

std::string DescribePeImage(const PeImageInfo& info) {
    if (info.verdict != kPeImage) {
        return kVerdictTexts[info.verdict];
    }
    std::string text = info.magic == kPeMagicPe32 ? "a PE32 " : "a PE32+ ";
    text += NameOf(kMachineNames, sizeof kMachineNames / sizeof kMachineNames[0], info.machine);
    if ((info.characteristics & kFileDll) != 0) {
        return text + " DLL";
    }
    if ((info.characteristics & kFileExecutableImage) == 0) {
        return text + " image not marked executable";
    }
    text += " ";
    text +=
        NameOf(kSubsystemNames, sizeof kSubsystemNames / sizeof kSubsystemNames[0], info.subsystem);
    return text + " program";
}
