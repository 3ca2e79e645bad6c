// The checker's verdict on a driver package's INF for one row of the launcher's table.
#ifndef DRIVERSETUP_CHECK_INF_CHECK_H
#define DRIVERSETUP_CHECK_INF_CHECK_H

#include <stddef.h>

#include <string>

#include "check/finding.h"
#include "inf/inf_document.h"
#include "inf/inf_models.h"

struct InfCheck {
    Findings findings;
    // The catalog file named for this architecture, to be found beside the INF; empty when
    // none is named.
    std::string catalog;
};

// Checks an INF's bytes for the row that installs it on `kind` Windows. Each finding's
// subject is `shown_path`.
InfCheck CheckInf(const unsigned char* data, size_t size, WindowsKind kind, Scope scope,
                  const std::string& shown_path);

#endif
