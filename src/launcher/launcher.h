// Launch sequence: start the pre-installer build that matches this Windows, hidden.
#ifndef DRIVERSETUP_LAUNCHER_H
#define DRIVERSETUP_LAUNCHER_H

// Keeps DLLs that the process loads by name from coming out of the distribution folder: limits
// the search to the system folder where Windows can (SetDefaultDllDirectories), else drops the
// current folder from it (SetDllDirectoryA("")), else leaves it as it is. Both calls are looked
// up at run time so that Windows versions without them still run the launcher.
void RestrictDllSearch();

// The program's entry routine. The arguments and the environment are ignored. Restricts the
// DLL search, then makes one hidden "Open" request for the chosen pre-installer and returns 0
// whatever its outcome.
int LaunchPreinstaller(int argc, char* argv[], char* envp[]);

#endif
