// The catalog's signer, read with OpenSSL's libcrypto.
#include "backend/signature.h"

#include <limits.h>

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

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

// The content octets of the signed list, without its own tag and length: what the signer's
// message digest covers when the content is not plain data.
static bool SignedContent(PKCS7* p7, const unsigned char** content, long* length) {
    PKCS7* inner = p7->d.sign->contents;
    if (inner == NULL || !PKCS7_type_is_other(inner) || inner->d.other == NULL ||
        inner->d.other->type != V_ASN1_SEQUENCE) {
        return false;
    }
    const ASN1_STRING* sequence = inner->d.other->value.sequence;
    const unsigned char* cursor = sequence->data;
    int tag = 0;
    int object_class = 0;
    const int flags = ASN1_get_object(&cursor, length, &tag, &object_class, sequence->length);
    if ((flags & 0x80) != 0) {
        return false;
    }
    *content = cursor;
    return true;
}

// Whether the signer's digest and signature hold over content.
static bool SignatureHolds(PKCS7* p7, PKCS7_SIGNER_INFO* info, X509* certificate,
                           const unsigned char* content, long length) {
    const EVP_MD* md = EVP_get_digestbyobj(info->digest_alg->algorithm);
    if (md == NULL || length < 0 || length > INT_MAX) {
        return false;
    }
    BIO* digest = BIO_new(BIO_f_md());
    BIO* chain = BIO_push(digest, BIO_new_mem_buf(content, static_cast<int>(length)));
    BIO_set_md(digest, md);
    unsigned char buffer[4096];
    while (BIO_read(chain, buffer, sizeof buffer) > 0) {
    }
    const bool holds = PKCS7_signatureVerify(chain, p7, info, certificate) == 1;
    BIO_free_all(chain);
    return holds;
}

// Whether certificate leads, through the catalog's own certificates, to a root in roots_file.
static bool ChainHolds(PKCS7* p7, X509* certificate, const char* roots_file, std::string* reason) {
    X509_STORE* store = X509_STORE_new();
    X509_STORE_CTX* context = X509_STORE_CTX_new();
    bool holds = false;
    if (X509_STORE_load_file(store, roots_file) != 1) {
        *reason = std::string("the roots in ") + roots_file + " cannot be read as PEM";
    } else if (X509_STORE_CTX_init(context, store, certificate, p7->d.sign->cert) == 1) {
        // Code-signing certificates seldom carry the purposes OpenSSL checks by default.
        X509_STORE_CTX_set_purpose(context, X509_PURPOSE_ANY);
        holds = X509_verify_cert(context) == 1;
        if (!holds) {
            *reason = std::string("its certificate does not lead to a root in ") + roots_file +
                      " (" + X509_verify_cert_error_string(X509_STORE_CTX_get_error(context)) + ")";
        }
    }
    X509_STORE_CTX_free(context);
    X509_STORE_free(store);
    return holds;
}

bool VerifyCatalogSignature(const uint8_t* data, size_t size, const char* roots_file,
                            std::string* reason) {
    const unsigned char* cursor = data;
    PKCS7* p7 = d2i_PKCS7(NULL, &cursor, static_cast<long>(size));
    STACK_OF(PKCS7_SIGNER_INFO)* infos =
        p7 != NULL && PKCS7_type_is_signed(p7) ? PKCS7_get_signer_info(p7) : NULL;
    if (infos == NULL || sk_PKCS7_SIGNER_INFO_num(infos) == 0) {
        PKCS7_free(p7);
        *reason = "it is not signed";
        return false;
    }
    PKCS7_SIGNER_INFO* info = sk_PKCS7_SIGNER_INFO_value(infos, 0);
    X509* certificate = X509_find_by_issuer_and_serial(
        p7->d.sign->cert, info->issuer_and_serial->issuer, info->issuer_and_serial->serial);
    const unsigned char* content = NULL;
    long length = 0;
    bool holds = false;
    if (certificate == NULL) {
        *reason = "the signer's certificate is not in it";
    } else if (!SignedContent(p7, &content, &length)) {
        *reason = "its signed content is not a list of members";
    } else if (!SignatureHolds(p7, info, certificate, content, length)) {
        *reason = "the signature does not match its content";
    } else {
        holds = roots_file == NULL || ChainHolds(p7, certificate, roots_file, reason);
    }
    PKCS7_free(p7);
    return holds;
}
