// The catalog's signer, read with OpenSSL's libcrypto.
#include "catalog/signature.h"

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/objects.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

// Subjects and issuers longer than this are cut; no real certificate name comes near.
static const int kNameLimit = 1024;

static std::string NameText(const X509_NAME* name) {
    BIO* bio = BIO_new(BIO_s_mem());
    X509_NAME_print_ex(bio, name, 0, XN_FLAG_ONELINE & ~ASN1_STRFLGS_ESC_MSB);
    char text[kNameLimit];
    const int length = BIO_read(bio, text, sizeof text - 1);
    BIO_free(bio);
    return length > 0 ? std::string(text, static_cast<size_t>(length)) : std::string();
}

static std::string TimeText(const ASN1_TYPE* value) {
    if (value == NULL || (value->type != V_ASN1_UTCTIME && value->type != V_ASN1_GENERALIZEDTIME)) {
        return std::string();
    }
    struct tm when;
    if (ASN1_TIME_to_tm(value->value.utctime, &when) != 1) {
        return std::string();
    }
    char text[64];
    strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &when);
    return text;
}

bool ReadCatalogSigner(const uint8_t* data, size_t size, CatalogSigner* signer,
                       std::string* error) {
    *signer = CatalogSigner();
    signer->is_signed = false;
    const unsigned char* cursor = data;
    PKCS7* p7 = d2i_PKCS7(NULL, &cursor, static_cast<long>(size));
    if (p7 == NULL || !PKCS7_type_is_signed(p7)) {
        PKCS7_free(p7);
        *error = "is not PKCS#7 signed data";
        return false;
    }
    STACK_OF(PKCS7_SIGNER_INFO)* infos = PKCS7_get_signer_info(p7);
    if (infos == NULL || sk_PKCS7_SIGNER_INFO_num(infos) == 0) {
        PKCS7_free(p7);
        return true;
    }
    signer->is_signed = true;
    PKCS7_SIGNER_INFO* info = sk_PKCS7_SIGNER_INFO_value(infos, 0);
    X509* certificate = X509_find_by_issuer_and_serial(
        p7->d.sign->cert, info->issuer_and_serial->issuer, info->issuer_and_serial->serial);
    if (certificate == NULL) {
        PKCS7_free(p7);
        *error = "is signed, but the signer's certificate is not in it";
        return false;
    }
    signer->subject = NameText(X509_get_subject_name(certificate));
    signer->issuer = NameText(X509_get_issuer_name(certificate));
    signer->signing_time = TimeText(PKCS7_get_signed_attribute(info, NID_pkcs9_signingTime));
    PKCS7_free(p7);
    return true;
}
