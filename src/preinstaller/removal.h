// Removal (/U) and listing (/L) of the packages this build staged, by their records.
#ifndef DRIVERSETUP_PREINSTALLER_REMOVAL_H
#define DRIVERSETUP_PREINSTALLER_REMOVAL_H

#include <string>

#include "preinstaller/log.h"
#include "win/winapi_seam.h"
#include "win/windows_kinds.h"

struct Removal {
    DWORD code;            // 0, 3010 (removed, restart needed), or the error that stopped it
    std::wstring message;  // the outcome in one sentence, for the message box
};

// Removes the package that `name` names: a staged INF ("oem12.inf", no folder part, or with
// Windows' own INF folder), or the path of the INF it was staged from, found by its record,
// else by content among the staged INFs. The driver leaves the devices that use it and the
// driver store (DiUninstallDriverW where Windows has it, else SetupUninstallOEMInfW, which
// refuses a package still in use); then the record goes, and the kept copy once no other
// record needs it. Each step logs one line. Nothing is removed for a name that names nothing
// staged (ERROR_FILE_NOT_FOUND, 2), a staged name with another folder, or a file that is not
// an INF (ERROR_INVALID_PARAMETER).
Removal RemovePackage(WindowsKind build, const std::wstring& name, LogContext* context);

// Logs one line per record of this build: name, version, staged name and whether that name
// is still in the driver store. Returns 0.
DWORD ListPackages(WindowsKind build, LogContext* context);

#endif
