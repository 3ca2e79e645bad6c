// Asks Windows about a catalog's signer the way driver installation does, and turns the answer
// into one line for the support desk.
#include "package/trust_prediction.h"

#include <stdio.h>

#include <vector>

#include "win/error_names.h"

static const char kUnsignedLine[] = "unsigned: Windows will ask an administrator or refuse";
static const wchar_t kTrustedPublisherStore[] = L"TrustedPublisher";

static TrustPrediction Prediction(TrustVerdict verdict, LONG answer, const std::string& line) {
    TrustPrediction prediction = {verdict, answer, line};
    return prediction;
}

TrustPrediction PredictUnsigned() {
    return Prediction(kTrustUnsigned, 0, kUnsignedLine);
}

// Whether the local machine's Trusted Publishers store holds the certificate with this issuer
// and serial number (big-endian, as DER has it; Windows keeps it little-endian).
static bool InTrustedPublishers(const Catalog& catalog) {
    if (catalog.signer_issuer.empty() || catalog.signer_serial.empty()) {
        return false;
    }
    std::vector<BYTE> serial(catalog.signer_serial.rbegin(), catalog.signer_serial.rend());
    std::vector<BYTE> issuer(catalog.signer_issuer.begin(), catalog.signer_issuer.end());
    CERT_INFO wanted = CERT_INFO();
    wanted.SerialNumber.cbData = static_cast<DWORD>(serial.size());
    wanted.SerialNumber.pbData = serial.data();
    wanted.Issuer.cbData = static_cast<DWORD>(issuer.size());
    wanted.Issuer.pbData = issuer.data();
    const HCERTSTORE store = CertOpenStore(
        CERT_STORE_PROV_SYSTEM_W, 0, 0,
        CERT_SYSTEM_STORE_LOCAL_MACHINE | CERT_STORE_READONLY_FLAG | CERT_STORE_OPEN_EXISTING_FLAG,
        kTrustedPublisherStore);
    if (store == NULL) {
        return false;
    }
    const PCCERT_CONTEXT found = CertFindCertificateInStore(
        store, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0, CERT_FIND_SUBJECT_CERT, &wanted, NULL);
    if (found != NULL) {
        CertFreeCertificateContext(found);
    }
    CertCloseStore(store, 0);
    return found != NULL;
}

TrustPrediction PredictTrust(const std::wstring& catalog_path, const std::wstring& member_path,
                             const std::wstring& member_tag, const Catalog& catalog) {
    WINTRUST_CATALOG_INFO member = WINTRUST_CATALOG_INFO();
    member.cbStruct = sizeof member;
    member.pcwszCatalogFilePath = catalog_path.c_str();
    member.pcwszMemberTag = member_tag.c_str();
    member.pcwszMemberFilePath = member_path.c_str();
    DRIVER_VER_INFO version = DRIVER_VER_INFO();
    version.cbStruct = sizeof version;
    WINTRUST_DATA data = WINTRUST_DATA();
    data.cbStruct = sizeof data;
    data.pPolicyCallbackData = &version;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_CATALOG;
    data.pCatalog = &member;
    data.dwStateAction = WTD_STATEACTION_IGNORE;
    GUID action = DRIVER_ACTION_VERIFY;
    const LONG answer = WinVerifyTrust(NULL, &action, &data);
    // The driver policy hands back the signer's certificate, which is the caller's to free.
    if (version.pcSignerCertContext != NULL) {
        CertFreeCertificateContext(version.pcSignerCertContext);
    }
    if (answer == TRUST_E_NOSIGNATURE) {
        return Prediction(kTrustUnsigned, answer, kUnsignedLine);
    }
    if (answer != 0) {
        const ErrorName* code = FindErrorName(static_cast<DWORD>(answer));
        char unknown[64];
        snprintf(unknown, sizeof unknown, "WinVerifyTrust answered 0x%08X",
                 static_cast<unsigned>(answer));
        return Prediction(
            kTrustRefused, answer,
            std::string("Windows will refuse it: ") + (code != NULL ? code->meaning : unknown));
    }
    if (InTrustedPublishers(catalog)) {
        return Prediction(kTrustSilent, answer, "Windows will install it without asking");
    }
    return Prediction(
        kTrustAsks, answer,
        "Windows will ask an administrator to trust " +
            (catalog.signer_name.empty() ? std::string("its signer") : catalog.signer_name));
}
