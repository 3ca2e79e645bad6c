// The names and meanings of the codes that a driver install meets, for the log and reports.
#include "win/error_names.h"

#include <stddef.h>

static const ErrorName kErrorNames[] = {
    {static_cast<DWORD>(TRUST_E_NOSIGNATURE), "TRUST_E_NOSIGNATURE", "the catalog is not signed"},
    {static_cast<DWORD>(TRUST_E_BAD_DIGEST), "TRUST_E_BAD_DIGEST",
     "the catalog's signature does not match its content"},
    {static_cast<DWORD>(CERT_E_UNTRUSTEDROOT), "CERT_E_UNTRUSTEDROOT",
     "the signer's certificate chain ends in a root this machine does not trust"},
    {static_cast<DWORD>(CERT_E_EXPIRED), "CERT_E_EXPIRED",
     "the signer's certificate has expired and the signature has no time stamp"},
    {static_cast<DWORD>(TRUST_E_EXPLICIT_DISTRUST), "TRUST_E_EXPLICIT_DISTRUST",
     "the signer's certificate is marked as distrusted on this machine"},
    {0x80096004u, "TRUST_E_CERT_SIGNATURE", "the catalog's signature cannot be verified"},
    {0x800B010Au, "CERT_E_CHAINING",
     "the signer's certificate does not chain to a root this machine trusts"},
    {0x800B0004u, "TRUST_E_SUBJECT_NOT_TRUSTED", "this machine's policy does not trust the signer"},
    {ERROR_NO_CATALOG_FOR_OEM_INF, "ERROR_NO_CATALOG_FOR_OEM_INF",
     "the package has no usable catalog"},
    {ERROR_FILE_HASH_NOT_IN_CATALOG, "ERROR_FILE_HASH_NOT_IN_CATALOG",
     "a file of the package is not in its catalog: it was changed after it was signed"},
    {ERROR_AUTHENTICODE_TRUST_NOT_ESTABLISHED, "ERROR_AUTHENTICODE_TRUST_NOT_ESTABLISHED",
     "the signer is not in this machine's Trusted Publishers, and no administrator accepted it"},
    {ERROR_AUTHENTICODE_PUBLISHER_NOT_TRUSTED, "ERROR_AUTHENTICODE_PUBLISHER_NOT_TRUSTED",
     "the signer is marked as distrusted on this machine"},
};

const ErrorName* FindErrorName(DWORD code) {
    for (size_t i = 0; i < sizeof kErrorNames / sizeof kErrorNames[0]; ++i) {
        if (kErrorNames[i].code == code) {
            return &kErrorNames[i];
        }
    }
    return NULL;
}
