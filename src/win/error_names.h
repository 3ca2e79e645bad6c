// The names and meanings of the codes that a driver install meets: WinVerifyTrust's answers
// and Setup's own codes, whose text from Windows is often missing or says little.
#ifndef DRIVERSETUP_WIN_ERROR_NAMES_H
#define DRIVERSETUP_WIN_ERROR_NAMES_H

#include "win/winapi_seam.h"

struct ErrorName {
    DWORD code;
    const char* name;     // "TRUST_E_NOSIGNATURE"
    const char* meaning;  // "the catalog is not signed"
};

// The entry for `code`, or NULL for a code that the table does not name.
const ErrorName* FindErrorName(DWORD code);

#endif
