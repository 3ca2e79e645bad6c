// Builds small PE files in memory for the checker's tests: just the headers the checker
// reads, one or more sections, and zero bytes where the section data would be.
#ifndef DRIVERSETUP_TESTS_PE_PE_BUILDER_H
#define DRIVERSETUP_TESTS_PE_PE_BUILDER_H

#include <stdint.h>

#include <vector>

struct PeLayout {
    uint16_t machine;
    uint16_t magic;            // 0x10b PE32, 0x20b PE32+
    uint16_t characteristics;  // 0x0102 an exe, 0x2102 a DLL
    uint16_t subsystem;        // 2 GUI, 3 console
    uint32_t lfanew;
    uint16_t section_count;
    uint16_t optional_size;  // 0: the usual size for the magic
};

const uint16_t kExeCharacteristics = 0x0102;
const uint16_t kDllCharacteristics = 0x2102;

// Where the section data starts and how long each section is.
const uint32_t kSectionDataStart = 0x400;
const uint32_t kSectionDataSize = 0x200;

inline void PutU16(std::vector<unsigned char>* bytes, size_t at, uint16_t value) {
    (*bytes)[at] = static_cast<unsigned char>(value);
    (*bytes)[at + 1] = static_cast<unsigned char>(value >> 8);
}

inline void PutU32(std::vector<unsigned char>* bytes, size_t at, uint32_t value) {
    PutU16(bytes, at, static_cast<uint16_t>(value));
    PutU16(bytes, at + 2, static_cast<uint16_t>(value >> 16));
}

// The whole file: headers at layout.lfanew, sections laid one after another from
// kSectionDataStart (or right after the headers when those reach further).
inline std::vector<unsigned char> BuildPe(const PeLayout& layout) {
    const uint16_t optional_size =
        layout.optional_size != 0 ? layout.optional_size : (layout.magic == 0x20b ? 240 : 224);
    const size_t optional = layout.lfanew + 24;
    const size_t table = optional + optional_size;
    size_t data = table + layout.section_count * 40;
    data = data < kSectionDataStart ? kSectionDataStart : (data + 0x1ff) & ~size_t{0x1ff};
    std::vector<unsigned char> bytes(data + layout.section_count * kSectionDataSize, 0);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    PutU32(&bytes, 0x3c, layout.lfanew);
    bytes[layout.lfanew] = 'P';
    bytes[layout.lfanew + 1] = 'E';
    PutU16(&bytes, layout.lfanew + 4, layout.machine);
    PutU16(&bytes, layout.lfanew + 6, layout.section_count);
    PutU16(&bytes, layout.lfanew + 20, optional_size);
    PutU16(&bytes, layout.lfanew + 22, layout.characteristics);
    PutU16(&bytes, optional, layout.magic);
    if (optional_size >= 70) {
        PutU16(&bytes, optional + 68, layout.subsystem);
    }
    // All 16 data directories, as linkers write them, so that signing tools find the
    // certificate table's entry.
    const size_t rva_count = layout.magic == 0x20b ? 108 : 92;
    if (optional_size >= rva_count + 4 + 16 * 8) {
        PutU32(&bytes, optional + rva_count, 16);
    }
    for (uint16_t i = 0; i < layout.section_count; ++i) {
        PutU32(&bytes, table + i * 40 + 16, kSectionDataSize);
        PutU32(&bytes, table + i * 40 + 20, static_cast<uint32_t>(data + i * kSectionDataSize));
    }
    return bytes;
}

#endif
