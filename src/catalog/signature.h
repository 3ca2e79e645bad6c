// Who signed a catalog, and whether the signature holds.
#ifndef DRIVERSETUP_CATALOG_SIGNATURE_H
#define DRIVERSETUP_CATALOG_SIGNATURE_H

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

#endif
