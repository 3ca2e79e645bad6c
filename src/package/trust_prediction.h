// Whether Windows will install a signed driver package without asking, as Windows itself
// answers on this machine; the machine's trust is read, never changed.
#ifndef DRIVERSETUP_PACKAGE_TRUST_PREDICTION_H
#define DRIVERSETUP_PACKAGE_TRUST_PREDICTION_H

#include <string>

#include "catalog/catalog.h"
#include "win/winapi_seam.h"

enum TrustVerdict {
    kTrustSilent,    // signed, trusted, and the publisher is in Trusted Publishers
    kTrustAsks,      // signed and valid, but the publisher is not in Trusted Publishers
    kTrustRefused,   // a bad signature, an untrusted or distrusted root, expired
    kTrustUnsigned,  // no catalog, or one without a signature
};

struct TrustPrediction {
    TrustVerdict verdict;
    LONG answer;       // WinVerifyTrust's answer; 0 when it was not asked
    std::string line;  // "Windows will install it without asking", ...
};

// The prediction for a package whose INF names no catalog.
TrustPrediction PredictUnsigned();

// Asks WinVerifyTrust (no UI, a catalog member, the driver policy) about `member_path`, whose
// catalog identifier is `member_tag`, in the catalog at `catalog_path` that `catalog` holds
// read; when it answers S_OK, looks for the signer's certificate in the local machine's Trusted
// Publishers store.
TrustPrediction PredictTrust(const std::wstring& catalog_path, const std::wstring& member_path,
                             const std::wstring& member_tag, const Catalog& catalog);

#endif
