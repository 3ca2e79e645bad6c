// Recording fakes of Windows' CNG hashing for the catalog digests' unit tests: real SHA-1 and
// SHA-256 (from libcrypto) behind the BCrypt calls, with every call and open handle counted.
#ifndef DRIVERSETUP_TESTS_BACKEND_FAKE_CNG_H
#define DRIVERSETUP_TESTS_BACKEND_FAKE_CNG_H

#include <stddef.h>

#include <string>
#include <vector>

#include "win/winapi_seam.h"

struct CngFakes {
    std::vector<std::wstring> opened;  // algorithm IDs, in the order providers were opened
    int open_providers;
    int open_hashes;
    size_t bytes_hashed;              // over all hashes
    std::wstring refused;             // BCryptOpenAlgorithmProvider refuses this algorithm
    std::vector<ULONG> finish_sizes;  // the output size of each BCryptFinishHash
};

extern CngFakes cng_fakes;

void ResetCngFakes();

#endif
