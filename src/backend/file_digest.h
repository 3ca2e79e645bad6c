// A file's catalog digests, SHA-1 and, when asked, SHA-256, from one streaming read.
#ifndef DRIVERSETUP_BACKEND_FILE_DIGEST_H
#define DRIVERSETUP_BACKEND_FILE_DIGEST_H

#include <stddef.h>

#include <string>

struct FileDigests {
    bool is_pe;
    std::string sha1;    // raw, 20 bytes
    std::string sha256;  // raw, 32 bytes; empty unless asked for
};

// Hashes the file at `path` as a catalog does (see PlanFileHash), reading it once in fixed-size
// chunks. Fails, with the reason in *error, when it cannot be read or is a PE file whose
// certificate table lies outside it.
bool DigestFile(const std::string& path, bool with_sha256, FileDigests* digests,
                std::string* error);

// Hashes `size` bytes in memory: SHA-256 when sha256, else SHA-1. Fails only when CNG refuses
// the hash. In the CNG build only; the host checks signatures with libcrypto whole.
bool DigestBytes(bool sha256, const unsigned char* data, size_t size, std::string* digest);

#endif
