// Keeps DLL loading out of the distribution folder, which every program here is started from.
#ifndef DRIVERSETUP_WIN_DLL_SEARCH_H
#define DRIVERSETUP_WIN_DLL_SEARCH_H

// Keeps DLLs that the process loads by name from coming out of the distribution folder: limits
// the search to the system folder where Windows can (SetDefaultDllDirectories), else drops the
// current folder from it (SetDllDirectoryA("")), else leaves it as it is. Both calls are looked
// up at run time so that Windows versions without them still run the program.
void RestrictDllSearch();

#endif
