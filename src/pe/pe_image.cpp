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

uint16_t ReadPeU16(const unsigned char* at) {
    return static_cast<uint16_t>(at[0] | (at[1] << 8));
}

uint32_t ReadPeU32(const unsigned char* at) {
    return static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8) |
           (static_cast<uint32_t>(at[2]) << 16) | (static_cast<uint32_t>(at[3]) << 24);
}

static PeHeaders Short(uint64_t pe, uint64_t needed) {
    PeHeaders headers = {kPeHeadersShort, needed, pe, 0, 0, 0, 0, 0};
    return headers;
}

PeHeaders LocatePeHeaders(const unsigned char* data, size_t size) {
    PeHeaders headers = {kPeHeadersNotMz, 0, 0, 0, 0, 0, 0, 0};
    if (size < 2 || data[0] != 'M' || data[1] != 'Z') {
        return headers;
    }
    if (size < kDosHeaderSize) {
        return Short(0, kDosHeaderSize);
    }
    headers.pe = ReadPeU32(data + kLfanewOffset);
    if (headers.pe + kSignatureSize > size) {
        return Short(headers.pe, headers.pe + kSignatureSize);
    }
    const unsigned char* signature = data + headers.pe;
    if (signature[0] != 'P' || signature[1] != 'E' || signature[2] != 0 || signature[3] != 0) {
        headers.status = kPeHeadersNoSignature;
        return headers;
    }
    const uint64_t coff = headers.pe + kSignatureSize;
    if (coff + kCoffHeaderSize > size) {
        return Short(headers.pe, coff + kCoffHeaderSize);
    }
    headers.status = kPeHeadersFound;
    headers.optional = coff + kCoffHeaderSize;
    headers.machine = ReadPeU16(data + coff + kCoffMachine);
    headers.section_count = ReadPeU16(data + coff + kCoffSectionCount);
    headers.optional_size = ReadPeU16(data + coff + kCoffOptionalHeaderSize);
    headers.characteristics = ReadPeU16(data + coff + kCoffCharacteristics);
    return headers;
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
    const PeHeaders headers = LocatePeHeaders(data, size);
    PeImageInfo failure;
    if (headers.status == kPeHeadersNotMz) {
        return Verdict(kPeNotMz);
    }
    // The checker follows e_lfanew no further than it reads.
    if (headers.pe > kPeHeaderReadLimit) {
        return Verdict(kPeHeaderOutOfRange);
    }
    if (headers.status == kPeHeadersShort) {
        Covered(headers.needed, size, file_size, &failure);
        return failure;
    }
    if (headers.status == kPeHeadersNoSignature) {
        return Verdict(kPeNoSignature);
    }
    PeImageInfo info = Verdict(kPeImage);
    info.machine = headers.machine;
    info.characteristics = headers.characteristics;
    const uint16_t section_count = headers.section_count;
    const uint16_t optional_size = headers.optional_size;

    const uint64_t optional = headers.optional;
    if (optional_size < kOptionalSubsystem + 2) {
        return Verdict(kPeBadOptionalHeader);
    }
    if (!Covered(optional + optional_size, size, file_size, &failure)) {
        return failure;
    }
    info.magic = ReadPeU16(data + optional);
    if (info.magic != kPeMagicPe32 && info.magic != kPeMagicPe32Plus) {
        return Verdict(kPeBadOptionalHeader);
    }
    info.subsystem = ReadPeU16(data + optional + kOptionalSubsystem);

    const uint64_t sections = optional + optional_size;
    if (!Covered(sections + uint64_t{section_count} * kSectionHeaderSize, size, file_size,
                 &failure)) {
        return failure;
    }
    for (uint16_t i = 0; i < section_count; ++i) {
        const unsigned char* section = data + sections + uint64_t{i} * kSectionHeaderSize;
        const uint64_t end = uint64_t{ReadPeU32(section + kSectionRawPointer)} +
                             ReadPeU32(section + kSectionRawSize);
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
