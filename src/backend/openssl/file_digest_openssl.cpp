// Catalog digests on the host, with OpenSSL's libcrypto.
#include "backend/file_digest.h"

#include <openssl/evp.h>
#include <stdint.h>

#include <fstream>
#include <vector>

#include "pe/pe_hash_plan.h"

// Bytes read per call: large enough that the hash, not the calls, sets the pace.
static const size_t kChunkSize = 256 * 1024;

// The digests being computed, fed the same bytes.
struct Hashers {
    EVP_MD_CTX* contexts[2];
    size_t count;
};

static void Feed(Hashers* hashers, const unsigned char* data, size_t size) {
    for (size_t i = 0; i < hashers->count; ++i) {
        EVP_DigestUpdate(hashers->contexts[i], data, size);
    }
}

static std::string Finish(EVP_MD_CTX* context) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_DigestFinal_ex(context, digest, &size);
    return std::string(reinterpret_cast<const char*>(digest), size);
}

static bool HashRanges(std::ifstream* in, const HashPlan& plan, Hashers* hashers,
                       std::string* error) {
    std::vector<unsigned char> chunk(kChunkSize);
    for (size_t r = 0; r < plan.ranges.size(); ++r) {
        in->clear();
        in->seekg(static_cast<std::streamoff>(plan.ranges[r].begin));
        uint64_t left = plan.ranges[r].end - plan.ranges[r].begin;
        while (left > 0) {
            const size_t want = left < kChunkSize ? static_cast<size_t>(left) : kChunkSize;
            in->read(reinterpret_cast<char*>(chunk.data()), static_cast<std::streamsize>(want));
            const size_t got = static_cast<size_t>(in->gcount());
            if (got == 0) {
                *error = "could not be read to its end (it changed or shrank while being read)";
                return false;
            }
            Feed(hashers, chunk.data(), got);
            left -= got;
        }
    }
    static const unsigned char kZeros[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    Feed(hashers, kZeros, static_cast<size_t>(plan.zero_padding));
    return true;
}

bool DigestFile(const std::string& path, bool with_sha256, FileDigests* digests,
                std::string* error) {
    std::ifstream in(path.c_str(), std::ios::binary);
    if (!in) {
        *error = "could not be opened";
        return false;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff end = in.tellg();
    if (end < 0) {
        *error = "could not be read";
        return false;
    }
    const uint64_t size = static_cast<uint64_t>(end);
    in.seekg(0);
    std::vector<unsigned char> head(size < kHashPlanHeadSize ? static_cast<size_t>(size)
                                                             : kHashPlanHeadSize);
    in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    if (static_cast<size_t>(in.gcount()) != head.size()) {
        *error = "could not be read";
        return false;
    }
    HashPlan plan;
    if (!PlanFileHash(head.data(), head.size(), size, &plan, error)) {
        return false;
    }
    Hashers hashers = {{EVP_MD_CTX_new(), with_sha256 ? EVP_MD_CTX_new() : NULL},
                       with_sha256 ? 2u : 1u};
    EVP_DigestInit_ex(hashers.contexts[0], EVP_sha1(), NULL);
    if (with_sha256) {
        EVP_DigestInit_ex(hashers.contexts[1], EVP_sha256(), NULL);
    }
    const bool read = HashRanges(&in, plan, &hashers, error);
    digests->is_pe = plan.is_pe;
    digests->sha1 = Finish(hashers.contexts[0]);
    digests->sha256 = with_sha256 ? Finish(hashers.contexts[1]) : std::string();
    for (size_t i = 0; i < hashers.count; ++i) {
        EVP_MD_CTX_free(hashers.contexts[i]);
    }
    return read;
}
