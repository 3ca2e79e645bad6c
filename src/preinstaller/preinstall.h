// The pre-installer's run: stage the named driver package and update present devices, remove
// a staged one, or list what this build staged.
#ifndef DRIVERSETUP_PREINSTALLER_PREINSTALL_H
#define DRIVERSETUP_PREINSTALLER_PREINSTALL_H

#include "win/winapi_seam.h"
#include "win/windows_kinds.h"

// Runs the whole pre-installation for this `build` from the full command line and returns the
// exit code: 0 when staged (and installed on the devices present), 3010 when Windows asks for
// a restart, 87 for a bad command line, else the Win32 error of the step that failed.
// In order: the command line; the 32-bit build refuses to run on 64-bit Windows
// (ERROR_IN_WOW64); the INF must be a regular file that the INF reader takes, with hardware
// IDs for this build; the package must match the catalog Windows uses for this build
// (ERROR_FILE_HASH_NOT_IN_CATALOG, ERROR_NO_CATALOG_FOR_OEM_INF; see CheckPackageCatalog);
// WinVerifyTrust's prediction is logged; SetupCopyOEMInfW stages it, and its answer stands
// whatever the prediction said; UpdateDriverForPlugAndPlayDevicesW runs for each ID, where
// ERROR_NO_SUCH_DEVINST (no such device plugged in) counts as success. After staging, a copy
// of this program is kept under %ProgramFiles% and the package gets a Programs and Features
// entry that runs it with /U (see RemovePackage); a failure there is logged and changes
// nothing else.
// /U removes (see RemovePackage), with one message box for the outcome unless /Q is given;
// /L lists (see ListPackages). With /forcerestart, a 3010 of /I or /U starts the restart and
// gives 1641.
DWORD RunPreinstaller(WindowsKind build, const wchar_t* command_line);

#endif
