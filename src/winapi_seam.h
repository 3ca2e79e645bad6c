// The one seam between the launcher's logic and Windows: the real API on Windows, the same
// names and signatures elsewhere so host builds compile the logic and tests link fakes in.
#ifndef DRIVERSETUP_WINAPI_SEAM_H
#define DRIVERSETUP_WINAPI_SEAM_H

#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#else

#include <stdint.h>

// Fixed widths as on Windows: long is 64 bits on Linux, so DWORD must not be unsigned long.
typedef uint32_t DWORD;
typedef uint32_t UINT;
typedef int32_t BOOL;
typedef int INT;
typedef char* LPSTR;
typedef char* PSTR;
typedef const char* LPCSTR;
typedef const char* PCSTR;
typedef struct HWND__* HWND;
typedef struct HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
typedef intptr_t (*FARPROC)();

// Calling conventions only matter on 32-bit Windows.
#define WINAPI

#define MAX_PATH 260
#define FALSE 0
#define TRUE 1
#define SW_HIDE 0

UINT GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize);
PCSTR StrStrIA(PCSTR pszFirst, PCSTR pszSrch);
BOOL PathFileExistsA(LPCSTR pszPath);
HINSTANCE ShellExecuteA(HWND hwnd, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters,
                        LPCSTR lpDirectory, INT nShowCmd);
HMODULE GetModuleHandleA(LPCSTR lpModuleName);
FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName);

#endif

// Older SDKs lack it; the value is fixed by the Windows ABI.
#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

#endif
