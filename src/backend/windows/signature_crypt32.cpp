// The catalog's signature, checked with Windows' own crypt32.
#include <windows.h>

#include <wincrypt.h>

#include <vector>

#include "catalog/catalog.h"
#include "backend/file_digest.h"
#include "backend/signature.h"

static const DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

// Reads a message parameter of any size into *value.
static bool MessageParameter(HCRYPTMSG message, DWORD type, std::vector<BYTE>* value) {
    DWORD size = 0;
    if (!CryptMsgGetParam(message, type, 0, NULL, &size) || size == 0) {
        return false;
    }
    value->resize(size);
    return CryptMsgGetParam(message, type, 0, value->data(), &size) != FALSE;
}

// Whether the first signer's signature holds over the message's content, with the signer's
// certificate taken from the message itself.
static bool SignerHolds(HCRYPTMSG message, std::string* reason) {
    DWORD signers = 0;
    DWORD size = sizeof signers;
    if (!CryptMsgGetParam(message, CMSG_SIGNER_COUNT_PARAM, 0, &signers, &size) || signers == 0) {
        *reason = "it is not signed";
        return false;
    }
    std::vector<BYTE> signer_info;
    if (!MessageParameter(message, CMSG_SIGNER_CERT_INFO_PARAM, &signer_info)) {
        *reason = "its signer cannot be read";
        return false;
    }
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_MSG, kEncoding, 0, 0, message);
    PCCERT_CONTEXT certificate =
        store == NULL ? NULL
                      : CertGetSubjectCertificateFromStore(
                            store, kEncoding, reinterpret_cast<PCERT_INFO>(signer_info.data()));
    bool holds = false;
    if (certificate == NULL) {
        *reason = "the signer's certificate is not in it";
    } else if (!CryptMsgControl(message, 0, CMSG_CTRL_VERIFY_SIGNATURE, certificate->pCertInfo)) {
        *reason = "the signature does not match its content";
    } else {
        holds = true;
    }
    if (certificate != NULL) {
        CertFreeCertificateContext(certificate);
    }
    if (store != NULL) {
        CertCloseStore(store, 0);
    }
    return holds;
}

// Whether the digest the signer signed is the digest of the catalog's list of members, hashed
// here with CNG: some crypt32 versions check only the signed attributes.
static bool ContentMatchesSignedDigest(const uint8_t* data, size_t size, std::string* reason) {
    Catalog catalog;
    std::string digest;
    if (!ReadCatalog(data, size, &catalog, reason) || !catalog.has_signer_digest) {
        *reason = "its signer names no digest of its content";
        return false;
    }
    const std::string& content = catalog.signed_content;
    if (!DigestBytes(catalog.signer_digest_kind == kDigestSha256,
                     reinterpret_cast<const unsigned char*>(content.data()), content.size(),
                     &digest)) {
        *reason = "its content could not be hashed";
        return false;
    }
    if (digest != catalog.signer_message_digest) {
        *reason = "the signature does not match its content";
        return false;
    }
    return true;
}

bool VerifyCatalogSignature(const uint8_t* data, size_t size, const char* roots_file,
                            std::string* reason) {
    if (roots_file != NULL) {
        *reason = "roots from a file are checked only by the Linux build";
        return false;
    }
    if (size > MAXDWORD) {
        *reason = "it is too large to be a catalog";
        return false;
    }
    HCRYPTMSG message = CryptMsgOpenToDecode(kEncoding, 0, 0, 0, NULL, NULL);
    if (message == NULL) {
        *reason = "crypt32 cannot read signed messages";
        return false;
    }
    bool holds = false;
    if (!CryptMsgUpdate(message, data, static_cast<DWORD>(size), TRUE)) {
        *reason = "it is not PKCS#7 signed data";
    } else {
        holds = SignerHolds(message, reason) && ContentMatchesSignedDigest(data, size, reason);
    }
    CryptMsgClose(message);
    return holds;
}
