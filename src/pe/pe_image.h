// The one reader of a Windows executable image's headers, from a bounded prefix of its bytes.
#ifndef DRIVERSETUP_PE_PE_IMAGE_H
#define DRIVERSETUP_PE_PE_IMAGE_H

#include <stddef.h>
#include <stdint.h>

#include <string>

// The checker reads at most this much of a program: real headers sit in the first kilobyte,
// and anything that places them beyond 64 KiB is not worth trusting.
const size_t kPeHeaderReadLimit = 64 * 1024;

const uint16_t kPeMachineI386 = 0x014c;
const uint16_t kPeMachineAmd64 = 0x8664;
const uint16_t kPeMachineArm64 = 0xaa64;
const uint16_t kPeMagicPe32 = 0x010b;
const uint16_t kPeMagicPe32Plus = 0x020b;
const uint16_t kPeSubsystemGui = 2;
const uint16_t kPeSubsystemConsole = 3;

// How far a file's first bytes show its PE headers.
enum PeHeadersStatus {
    kPeHeadersFound,       // the signature and the whole COFF header lie in the bytes
    kPeHeadersNotMz,       // fewer than two bytes, or no "MZ"
    kPeHeadersShort,       // the bytes end before the next structure does (see `needed`)
    kPeHeadersNoSignature  // no "PE\0\0" where e_lfanew points
};

struct PeHeaders {
    PeHeadersStatus status;
    uint64_t needed;  // with kPeHeadersShort: the length the bytes would need
    uint64_t pe;      // e_lfanew, once the DOS header lies in the bytes
    // With kPeHeadersFound: the COFF header's fields and where the optional header starts.
    uint64_t optional;
    uint16_t machine;
    uint16_t section_count;
    uint16_t optional_size;
    uint16_t characteristics;
};

// Finds the PE signature and reads the COFF header from data[0, size), never outside it.
// Nothing is limited here but the bytes given: each caller decides how far it follows e_lfanew.
PeHeaders LocatePeHeaders(const unsigned char* data, size_t size);

// Little-endian fields, as the PE format stores them; `at` must have 2 or 4 readable bytes.
uint16_t ReadPeU16(const unsigned char* at);
uint32_t ReadPeU32(const unsigned char* at);

enum PeVerdict {
    kPeImage,             // headers read whole; the fields below are valid
    kPeEmpty,             // no bytes at all
    kPeNotMz,             // does not start with "MZ": not a Windows program
    kPeTruncated,         // the file ends before its headers or its sections do
    kPeHeaderOutOfRange,  // e_lfanew or the tables point beyond the bytes the checker reads
    kPeNoSignature,       // no "PE\0\0" where e_lfanew points (an old DOS program, say)
    kPeBadOptionalHeader  // an optional header too short or of an unknown kind
};

struct PeImageInfo {
    PeVerdict verdict;
    uint16_t machine;
    uint16_t characteristics;
    uint16_t magic;
    uint16_t subsystem;
    // Where the last section's raw data ends; the file must be at least this long.
    uint64_t sections_end;
};

// Inspects `size` bytes from the start of a file of `file_size` bytes (size <= file_size).
// Never reads outside data[0, size).
PeImageInfo InspectPeImage(const unsigned char* data, size_t size, uint64_t file_size);

// True for a program (not a DLL) with the given machine and optional-header kind.
bool IsExecutableFor(const PeImageInfo& info, uint16_t machine, uint16_t magic);

// A person's description: "a PE32+ AMD64 GUI program", "a PE32 i386 DLL", "a file that ends
// inside its PE headers", and the like.
std::string DescribePeImage(const PeImageInfo& info);

#endif
