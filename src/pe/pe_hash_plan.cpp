// The Authenticode image hash's ranges, from a PE file's headers.
#include "pe/pe_hash_plan.h"

#include <stdio.h>

#include "pe/pe_image.h"

// Offsets inside the optional header.
static const uint32_t kCheckSumOffset = 64;
static const uint32_t kCheckSumSize = 4;
struct MagicLayout {
    uint16_t magic;
    uint32_t rva_count_offset;  // NumberOfRvaAndSizes
    uint32_t directory_offset;  // the first data directory
};
static const MagicLayout kLayouts[] = {
    {kPeMagicPe32, 92, 96},
    {kPeMagicPe32Plus, 108, 112},
};
static const uint32_t kDirectoryEntrySize = 8;
static const uint32_t kCertificateDirectory = 4;
// Authenticode pads an unsigned image to this alignment before hashing.
static const uint64_t kUnsignedAlignment = 8;

static void PlanWhole(uint64_t file_size, HashPlan* plan) {
    plan->is_pe = false;
    plan->ranges.clear();
    ByteRange all = {0, file_size};
    plan->ranges.push_back(all);
    plan->zero_padding = 0;
}

static void AddRange(HashPlan* plan, uint64_t begin, uint64_t end) {
    if (end > begin) {
        ByteRange range = {begin, end};
        plan->ranges.push_back(range);
    }
}

bool PlanFileHash(const uint8_t* head, size_t head_size, uint64_t file_size, HashPlan* plan,
                  std::string* error) {
    PlanWhole(file_size, plan);
    // Anything whose PE headers the head does not show is a flat file to Authenticode.
    const PeHeaders headers = LocatePeHeaders(head, head_size);
    const uint64_t optional = headers.optional;
    if (headers.status != kPeHeadersFound || optional + 2 > head_size) {
        return true;
    }
    const uint32_t optional_size = headers.optional_size;
    const uint32_t magic = ReadPeU16(head + optional);
    const MagicLayout* layout = NULL;
    for (size_t i = 0; i < sizeof kLayouts / sizeof kLayouts[0]; ++i) {
        if (kLayouts[i].magic == magic) {
            layout = &kLayouts[i];
        }
    }
    if (layout == NULL || optional_size < kCheckSumOffset + kCheckSumSize ||
        optional + kCheckSumOffset + kCheckSumSize > head_size) {
        return true;
    }
    const uint64_t checksum = optional + kCheckSumOffset;
    uint64_t entry = 0;
    uint64_t table = 0;
    uint64_t table_size = 0;
    const uint64_t entry_offset =
        layout->directory_offset + kCertificateDirectory * kDirectoryEntrySize;
    if (optional_size >= entry_offset + kDirectoryEntrySize &&
        optional + entry_offset + kDirectoryEntrySize <= head_size &&
        ReadPeU32(head + optional + layout->rva_count_offset) > kCertificateDirectory) {
        entry = optional + entry_offset;
        table = ReadPeU32(head + entry);
        table_size = ReadPeU32(head + entry + 4);
    }
    if (table_size != 0 &&
        (table < optional + optional_size || table > file_size || table_size > file_size - table)) {
        char text[160];
        snprintf(text, sizeof text,
                 "its certificate table (offset %llu, %llu bytes) lies outside the file (%llu "
                 "bytes)",
                 static_cast<unsigned long long>(table),
                 static_cast<unsigned long long>(table_size),
                 static_cast<unsigned long long>(file_size));
        *error = text;
        return false;
    }
    plan->is_pe = true;
    plan->ranges.clear();
    const uint64_t after_checksum = checksum + kCheckSumSize;
    if (entry == 0) {
        AddRange(plan, 0, checksum);
        AddRange(plan, after_checksum, file_size);
    } else if (table_size == 0) {
        AddRange(plan, 0, checksum);
        AddRange(plan, after_checksum, entry);
        AddRange(plan, entry + kDirectoryEntrySize, file_size);
    } else {
        AddRange(plan, 0, checksum);
        AddRange(plan, after_checksum, entry);
        AddRange(plan, entry + kDirectoryEntrySize, table);
        AddRange(plan, table + table_size, file_size);
    }
    if (table_size == 0 && file_size % kUnsignedAlignment != 0) {
        plan->zero_padding = kUnsignedAlignment - file_size % kUnsignedAlignment;
    }
    return true;
}
