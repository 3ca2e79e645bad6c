// Catalog digests in the Windows programs, with Windows' own CNG and file calls: the file is
// read once, front to back, and only the plan's bytes are hashed.
#include "backend/file_digest.h"

#include <stddef.h>

#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "pe/pe_hash_plan.h"
#include "inf/utf16.h"
#include "win/winapi_seam.h"

// Bytes read per call: large enough that the hash, not the calls, sets the pace.
static const DWORD kChunkSize = 256 * 1024;

// One CNG hash with its provider; both null when not in use.
struct CngHash {
    BCRYPT_ALG_HANDLE algorithm;
    BCRYPT_HASH_HANDLE hash;
};

static bool OpenHash(LPCWSTR algorithm_id, CngHash* hash) {
    hash->algorithm = NULL;
    hash->hash = NULL;
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&hash->algorithm, algorithm_id, NULL, 0))) {
        hash->algorithm = NULL;
        return false;
    }
    if (!BCRYPT_SUCCESS(BCryptCreateHash(hash->algorithm, &hash->hash, NULL, 0, NULL, 0, 0))) {
        hash->hash = NULL;
        return false;
    }
    return true;
}

static void CloseHash(CngHash* hash) {
    if (hash->hash != NULL) {
        BCryptDestroyHash(hash->hash);
    }
    if (hash->algorithm != NULL) {
        BCryptCloseAlgorithmProvider(hash->algorithm, 0);
    }
    hash->hash = NULL;
    hash->algorithm = NULL;
}

static bool Feed(CngHash* hashes, size_t count, const unsigned char* data, size_t size) {
    for (size_t i = 0; i < count; ++i) {
        if (size != 0 && !BCRYPT_SUCCESS(BCryptHashData(hashes[i].hash, const_cast<PUCHAR>(data),
                                                        static_cast<ULONG>(size), 0))) {
            return false;
        }
    }
    return true;
}

static bool Finish(CngHash* hash, size_t size, std::string* digest) {
    unsigned char bytes[32];
    if (!BCRYPT_SUCCESS(BCryptFinishHash(hash->hash, bytes, static_cast<ULONG>(size), 0))) {
        return false;
    }
    digest->assign(reinterpret_cast<const char*>(bytes), size);
    return true;
}

// Where a front-to-back read of the file stands against the plan's ranges, which are in
// ascending order and do not overlap.
struct PlanCursor {
    const HashPlan* plan;
    size_t range;
    uint64_t offset;
};

// Hashes the bytes of [offset, offset + size), which `data` holds, that fall in the ranges.
static bool FeedSpan(PlanCursor* cursor, CngHash* hashes, size_t count, const unsigned char* data,
                     size_t size) {
    const std::vector<ByteRange>& ranges = cursor->plan->ranges;
    const uint64_t end = cursor->offset + size;
    while (cursor->range < ranges.size() && ranges[cursor->range].begin < end) {
        const ByteRange& range = ranges[cursor->range];
        const uint64_t from = range.begin > cursor->offset ? range.begin : cursor->offset;
        const uint64_t to = range.end < end ? range.end : end;
        if (to > from &&
            !Feed(hashes, count, data + (from - cursor->offset), static_cast<size_t>(to - from))) {
            return false;
        }
        if (range.end > end) {
            break;
        }
        ++cursor->range;
    }
    cursor->offset = end;
    return true;
}

static bool DigestOpenFile(HANDLE file, bool with_sha256, FileDigests* digests,
                           std::string* error) {
    LARGE_INTEGER listed;
    if (!GetFileSizeEx(file, &listed) || listed.QuadPart < 0) {
        *error = "could not be read";
        return false;
    }
    const uint64_t size = static_cast<uint64_t>(listed.QuadPart);
    std::vector<unsigned char> head(size < kHashPlanHeadSize ? static_cast<size_t>(size)
                                                             : kHashPlanHeadSize);
    size_t have = 0;
    while (have < head.size()) {
        DWORD got = 0;
        if (!ReadFile(file, head.data() + have, static_cast<DWORD>(head.size() - have), &got,
                      NULL) ||
            got == 0) {
            *error = "could not be read";
            return false;
        }
        have += got;
    }
    HashPlan plan;
    if (!PlanFileHash(head.data(), head.size(), size, &plan, error)) {
        return false;
    }
    CngHash hashes[2];
    const size_t count = with_sha256 ? 2 : 1;
    LPCWSTR const algorithms[2] = {BCRYPT_SHA1_ALGORITHM, BCRYPT_SHA256_ALGORITHM};
    bool ok = true;
    for (size_t i = 0; i < 2; ++i) {
        hashes[i].algorithm = NULL;
        hashes[i].hash = NULL;
        if (i < count && ok && !OpenHash(algorithms[i], &hashes[i])) {
            *error = "could not be hashed: CNG refused the hash algorithm";
            ok = false;
        }
    }
    // The head is hashed from memory; the rest is read on from where the head ended.
    PlanCursor cursor = {&plan, 0, 0};
    std::vector<unsigned char> chunk;
    if (ok && !FeedSpan(&cursor, hashes, count, head.data(), head.size())) {
        *error = "could not be hashed";
        ok = false;
    }
    while (ok && cursor.offset < size) {
        chunk.resize(kChunkSize);
        DWORD got = 0;
        if (!ReadFile(file, chunk.data(), kChunkSize, &got, NULL) || got == 0) {
            *error = "could not be read to its end (it changed or shrank while being read)";
            ok = false;
        } else if (!FeedSpan(&cursor, hashes, count, chunk.data(), got)) {
            *error = "could not be hashed";
            ok = false;
        }
    }
    static const unsigned char kZeros[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    if (ok && !Feed(hashes, count, kZeros, static_cast<size_t>(plan.zero_padding))) {
        *error = "could not be hashed";
        ok = false;
    }
    digests->is_pe = plan.is_pe;
    if (ok && !Finish(&hashes[0], kDigestSizes[kDigestSha1], &digests->sha1)) {
        *error = "could not be hashed";
        ok = false;
    }
    digests->sha256.clear();
    if (ok && with_sha256 && !Finish(&hashes[1], kDigestSizes[kDigestSha256], &digests->sha256)) {
        *error = "could not be hashed";
        ok = false;
    }
    for (size_t i = 0; i < 2; ++i) {
        CloseHash(&hashes[i]);
    }
    return ok;
}

bool DigestFile(const std::string& path, bool with_sha256, FileDigests* digests,
                std::string* error) {
    std::u16string units;
    AppendUtf16FromUtf8(path, &units);
    const std::wstring wide(units.begin(), units.end());
    const HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        *error = "could not be opened";
        return false;
    }
    const bool ok = DigestOpenFile(file, with_sha256, digests, error);
    CloseHandle(file);
    return ok;
}

bool DigestBytes(bool sha256, const unsigned char* data, size_t size, std::string* digest) {
    CngHash hash;
    const bool ok = OpenHash(sha256 ? BCRYPT_SHA256_ALGORITHM : BCRYPT_SHA1_ALGORITHM, &hash) &&
                    Feed(&hash, 1, data, size) &&
                    Finish(&hash, kDigestSizes[sha256 ? kDigestSha256 : kDigestSha1], digest);
    CloseHash(&hash);
    return ok;
}
