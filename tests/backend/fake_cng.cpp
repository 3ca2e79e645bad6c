// The CNG fakes: each provider names a libcrypto digest, each hash is an EVP context.
#include "backend/fake_cng.h"

#include <openssl/evp.h>

CngFakes cng_fakes;

// An NTSTATUS that BCRYPT_SUCCESS rejects (STATUS_NOT_FOUND).
static const NTSTATUS kStatusNotFound = static_cast<NTSTATUS>(0xC0000225u);

struct FakeProvider {
    const EVP_MD* digest;
};

void ResetCngFakes() {
    cng_fakes = CngFakes();
    cng_fakes.open_providers = 0;
    cng_fakes.open_hashes = 0;
    cng_fakes.bytes_hashed = 0;
}

NTSTATUS BCryptOpenAlgorithmProvider(BCRYPT_ALG_HANDLE* algorithm, LPCWSTR id, LPCWSTR, ULONG) {
    cng_fakes.opened.push_back(id);
    const std::wstring name = id;
    if (name == cng_fakes.refused || (name != L"SHA1" && name != L"SHA256")) {
        return kStatusNotFound;
    }
    FakeProvider* provider = new FakeProvider;
    provider->digest = name == L"SHA1" ? EVP_sha1() : EVP_sha256();
    *algorithm = provider;
    ++cng_fakes.open_providers;
    return 0;
}

NTSTATUS BCryptCreateHash(BCRYPT_ALG_HANDLE algorithm, BCRYPT_HASH_HANDLE* hash, PUCHAR, ULONG,
                          PUCHAR, ULONG, ULONG) {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    EVP_DigestInit_ex(context, static_cast<FakeProvider*>(algorithm)->digest, NULL);
    *hash = context;
    ++cng_fakes.open_hashes;
    return 0;
}

NTSTATUS BCryptHashData(BCRYPT_HASH_HANDLE hash, PUCHAR input, ULONG size, ULONG) {
    EVP_DigestUpdate(static_cast<EVP_MD_CTX*>(hash), input, size);
    cng_fakes.bytes_hashed += size;
    return 0;
}

NTSTATUS BCryptFinishHash(BCRYPT_HASH_HANDLE hash, PUCHAR output, ULONG size, ULONG) {
    cng_fakes.finish_sizes.push_back(size);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(static_cast<EVP_MD_CTX*>(hash), digest, &length);
    if (length != size) {
        return kStatusNotFound;
    }
    for (unsigned int i = 0; i < length; ++i) {
        output[i] = digest[i];
    }
    return 0;
}

NTSTATUS BCryptDestroyHash(BCRYPT_HASH_HANDLE hash) {
    EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(hash));
    --cng_fakes.open_hashes;
    return 0;
}

NTSTATUS BCryptCloseAlgorithmProvider(BCRYPT_ALG_HANDLE algorithm, ULONG) {
    delete static_cast<FakeProvider*>(algorithm);
    --cng_fakes.open_providers;
    return 0;
}
