// Which bytes of a file a catalog digest covers: all of a flat file; of a PE file, the
// Authenticode image hash's ranges.
#ifndef DRIVERSETUP_PE_PE_HASH_PLAN_H
#define DRIVERSETUP_PE_PE_HASH_PLAN_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

// Enough of a file's start for every header field the plan reads: the PE header may begin
// anywhere in the first 64 KiB, and the optional header's fields follow within 256 bytes.
const size_t kHashPlanHeadSize = 64 * 1024 + 512;

struct ByteRange {
    uint64_t begin;
    uint64_t end;
};

struct HashPlan {
    bool is_pe;
    std::vector<ByteRange> ranges;  // hashed in this order
    uint64_t zero_padding;          // zero bytes hashed after the ranges
};

// Plans the digest of a file of `file_size` bytes that starts with `head` (the first
// min(file_size, kHashPlanHeadSize) bytes). A PE file (MZ, then a PE32 or PE32+ header) is
// hashed without its CheckSum, its certificate-table entry and the table itself, and, when it
// has no table, as if zero-padded to a multiple of 8 bytes. Anything else is hashed whole.
// Fails, with the reason in *error, for a PE whose certificate table lies outside the file.
bool PlanFileHash(const uint8_t* head, size_t head_size, uint64_t file_size, HashPlan* plan,
                  std::string* error);

#endif
