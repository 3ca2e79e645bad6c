// The copy of the pre-installer that stays on the machine for removal, since the media it ran
// from will be gone: %ProgramFiles%\QZDrvPrep\<this build's file name>.
#ifndef DRIVERSETUP_PREINSTALLER_KEPT_COPY_H
#define DRIVERSETUP_PREINSTALLER_KEPT_COPY_H

#include <string>

#include "win/winapi_seam.h"
#include "win/windows_kinds.h"

// Where this build keeps its copy. Returns 0 or the error that stops it (no %ProgramFiles%,
// or a path past MAX_PATH).
DWORD KeptCopyPath(WindowsKind build, std::wstring* path);

// Copies the running program to *path (from KeptCopyPath), its folder made when missing; a
// program that already runs from there is left as it is. Returns 0 or the error.
DWORD KeepCopy(WindowsKind build, std::wstring* path);

// Deletes the kept copy at `path`. One that is running (this program, started from
// Programs and Features) is deleted at the next restart instead, and *delayed says so.
// Returns 0 or the error of the last call tried.
DWORD ForgetCopy(const std::wstring& path, bool* delayed);

#endif
