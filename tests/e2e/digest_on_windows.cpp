// Prints the catalog digests that the Windows programs compute (CNG through the seam) for each
// file named: "SHA1HEX SHA256HEX PE|flat NAME" a line, so that a test can compare them with
// driversetup-catalog's on Linux. Usage: digest_on_windows FILE...
// Exit codes: 0 all hashed, 1 a file could not be hashed, 2 a usage error.
#include <stdio.h>

#include <string>

#include "catalog/catalog.h"
#include "backend/file_digest.h"

int main(int argc, char* argv[]) {
    if (argc < 2) {
        fprintf(stderr, "usage: digest_on_windows FILE...\n");
        return 2;
    }
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        FileDigests digests;
        std::string error;
        if (!DigestFile(argv[i], true, &digests, &error)) {
            fprintf(stderr, "%s: %s\n", argv[i], error.c_str());
            status = 1;
            continue;
        }
        printf("%s %s %s %s\n", HexLower(digests.sha1).c_str(), HexLower(digests.sha256).c_str(),
               digests.is_pe ? "PE" : "flat", argv[i]);
    }
    return status;
}
