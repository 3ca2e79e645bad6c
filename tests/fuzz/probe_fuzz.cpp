// Fuzz target: HasSysWow64Directory with arbitrary system-directory bytes and return values.
// Checks the 0/1 answer and the tested path against the rules, and poisons the probe's buffer
// past the written terminator so that AddressSanitizer reports any read beyond it (reads past
// the 260-byte buffer are reported anyway).
// Input: 4 bytes of GetSystemDirectoryA's return value (little-endian), 1 byte that
// PathFileExistsA answers (as a signed value), then the bytes written into the buffer.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>

#include "win/fake_winapi.h"
#include "fuzz_check.h"
#include "probe/probe.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/asan_interface.h>
#define PROBE_FUZZ_POISON 1
#endif
#endif

static const size_t kHeaderBytes = 5;
static const size_t kBufferSize = 260;  // MAX_PATH, the size the probe must pass

static char* poisoned_start;
static size_t poisoned_size;

// Writes like Windows (terminated when it fits, else cut at uSize) and poisons what follows
// the first terminator, up to but not including the buffer's last byte, which the probe may
// set as a guard.
static UINT WriteAndPoison(LPSTR buffer, UINT size) {
    const std::string& written = GetSystemDirectoryA_fake.written;
    const size_t count = written.size() + 1 <= size ? written.size() + 1 : size;
    memcpy(buffer, written.c_str(), count);
    const void* terminator = memchr(buffer, '\0', count);
    poisoned_start = NULL;
    poisoned_size = 0;
    if (terminator != NULL && size == kBufferSize) {
        char* after = static_cast<char*>(const_cast<void*>(terminator)) + 1;
        char* last = buffer + kBufferSize - 1;
        if (after < last) {
            poisoned_start = after;
            poisoned_size = static_cast<size_t>(last - after);
#ifdef PROBE_FUZZ_POISON
            ASAN_POISON_MEMORY_REGION(poisoned_start, poisoned_size);
#endif
        }
    }
    return GetSystemDirectoryA_fake.return_val;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kHeaderBytes) {
        return 0;
    }
    const UINT returned = static_cast<UINT>(data[0]) | static_cast<UINT>(data[1]) << 8 |
                          static_cast<UINT>(data[2]) << 16 | static_cast<UINT>(data[3]) << 24;
    const BOOL exists = static_cast<int8_t>(data[4]);
    const std::string written(reinterpret_cast<const char*>(data + kHeaderBytes),
                              size - kHeaderBytes);

    ResetFakes();
    GetSystemDirectoryA_fake.written = written;
    GetSystemDirectoryA_fake.return_val = returned;
    GetSystemDirectoryA_fake.custom_fake = WriteAndPoison;
    PathFileExistsA_fake.return_val = exists;

    const int answer = HasSysWow64Directory();
#ifdef PROBE_FUZZ_POISON
    if (poisoned_start != NULL) {
        ASAN_UNPOISON_MEMORY_REGION(poisoned_start, poisoned_size);
    }
#endif

    FUZZ_CHECK(GetSystemDirectoryA_fake.call_count == 1);
    FUZZ_CHECK(GetSystemDirectoryA_fake.arg_uSize[0] == kBufferSize);
    if (returned == 0 || returned >= kBufferSize) {
        FUZZ_CHECK(answer == 0);
        FUZZ_CHECK(StrStrIA_fake.call_count == 0);
        FUZZ_CHECK(PathFileExistsA_fake.call_count == 0);
        return 0;
    }
    // What the buffer holds as a string: at most 259 bytes, up to the first terminator.
    std::string path = written.substr(0, kBufferSize - 1);
    path = path.substr(0, path.find('\0'));
    if (FindNoCase(path, "\\WINDOWS\\System32") == std::string::npos) {
        FUZZ_CHECK(answer == 0);
        FUZZ_CHECK(PathFileExistsA_fake.call_count == 0);
        return 0;
    }
    const size_t name = FindNoCase(path, "system32");
    FUZZ_CHECK(name != std::string::npos);
    path.replace(name, 8, "SysWow64");
    FUZZ_CHECK(PathFileExistsA_fake.call_count == 1);
    FUZZ_CHECK(PathFileExistsA_fake.arg_pszPath[0] == path);
    FUZZ_CHECK(answer == (exists != 0 ? 1 : 0));
    return 0;
}
