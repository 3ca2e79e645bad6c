// Who signed a catalog, and whether the signature holds.
#ifndef DRIVERSETUP_BACKEND_SIGNATURE_H
#define DRIVERSETUP_BACKEND_SIGNATURE_H

#include <stddef.h>
#include <stdint.h>

#include <string>

struct CatalogSigner {
    bool is_signed;
    std::string subject;  // "CN=..., O=..."
    std::string issuer;
    std::string signing_time;  // "2026-12-09 10:11:12 UTC", or empty without one
};

// Reads the first signer of a signed catalog. Fails, with the reason in *error, when the bytes
// are no PKCS#7 signed data or a signer's certificate is missing; an unsigned catalog is
// is_signed false.
bool ReadCatalogSigner(const uint8_t* data, size_t size, CatalogSigner* signer, std::string* error);

// Checks that the first signer's signature holds over the catalog's content (its list of
// members), and, when roots_file is not NULL, that the signer's certificate leads to one of the
// PEM certificates in that file. Returns false with the reason in words in *reason when it does
// not hold, or when the catalog is unsigned. The Windows build checks with crypt32 and takes no
// roots_file.
bool VerifyCatalogSignature(const uint8_t* data, size_t size, const char* roots_file,
                            std::string* reason);

#endif
