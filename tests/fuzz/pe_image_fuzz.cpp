// Fuzz target: InspectPeImage on arbitrary bytes, handed over in heap storage of exactly their
// size, once whole and once as a prefix of a longer file, so any read past what was read is an
// AddressSanitizer report. Checks that the verdicts keep their promises.
#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "pe/pe_image.h"
#include "fuzz_check.h"

static void Inspect(const uint8_t* data, size_t size, uint64_t file_size) {
    const std::vector<unsigned char> bytes(data, data + size);
    const PeImageInfo info = InspectPeImage(bytes.data(), bytes.size(), file_size);
    FUZZ_CHECK(!DescribePeImage(info).empty());
    if (info.verdict == kPeImage) {
        // A program that passes was read whole: its sections end inside the file.
        FUZZ_CHECK(info.sections_end <= file_size);
        FUZZ_CHECK(size >= 2 && data[0] == 'M' && data[1] == 'Z');
    } else {
        FUZZ_CHECK(!IsExecutableFor(info, kPeMachineI386, kPeMagicPe32));
        FUZZ_CHECK(!IsExecutableFor(info, kPeMachineAmd64, kPeMagicPe32Plus));
    }
    if (file_size == 0) {
        FUZZ_CHECK(info.verdict == kPeEmpty);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kPeHeaderReadLimit) {
        size = kPeHeaderReadLimit;
    }
    Inspect(data, size, size);
    // The same bytes as the part read of a file that goes on past them.
    Inspect(data, size / 2, size);
    return 0;
}
