// Launch sequence: start the pre-installer build that matches this Windows, hidden.
#ifndef DRIVERSETUP_LAUNCHER_H
#define DRIVERSETUP_LAUNCHER_H

// The program's entry routine. The arguments and the environment are ignored. Restricts the
// DLL search, then makes one hidden "Open" request for the chosen pre-installer and returns 0
// whatever its outcome.
int LaunchPreinstaller(int argc, char* argv[], char* envp[]);

#endif
