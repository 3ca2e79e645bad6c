// The one seam between this project's Windows programs and Windows: the real API on Windows,
// the same names and signatures elsewhere so that host builds compile the logic and tests link
// fakes in.
#ifndef DRIVERSETUP_WIN_WINAPI_SEAM_H
#define DRIVERSETUP_WIN_WINAPI_SEAM_H

#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>
// The pre-installer's driver calls: staging (setupapi) and updating present devices (newdev).
#include <setupapi.h>
#include <newdev.h>
// Hashing for catalogs: Windows' own CNG.
#include <bcrypt.h>

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

// The pre-installer's calls. Wide strings are wchar_t here too; their width differs (16 bits on
// Windows), which the code allows for.
typedef uint16_t WORD;
typedef wchar_t WCHAR;
typedef WCHAR* LPWSTR;
typedef WCHAR* PWSTR;
typedef const WCHAR* LPCWSTR;
typedef const WCHAR* PCWSTR;
typedef void* HANDLE;
typedef void* LPVOID;
typedef const void* LPCVOID;

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define GENERIC_READ 0x80000000u
#define FILE_APPEND_DATA 0x00000004u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define OPEN_EXISTING 3u
#define OPEN_ALWAYS 4u
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200u
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000u
#define SPOST_PATH 1u

#define ERROR_SUCCESS 0u
#define ERROR_FILE_NOT_FOUND 2u
#define ERROR_PATH_NOT_FOUND 3u
#define ERROR_ACCESS_DENIED 5u
#define ERROR_INVALID_DATA 13u
#define ERROR_INVALID_PARAMETER 87u
#define ERROR_FILENAME_EXCED_RANGE 206u
#define ERROR_FILE_TOO_LARGE 223u
#define ERROR_SUCCESS_REBOOT_REQUIRED 3010u
#define ERROR_SECTION_NOT_FOUND 0xE0000101u
#define ERROR_NO_SUCH_DEVINST 0xE000020Bu
#define ERROR_IN_WOW64 0xE0000235u

DWORD GetLastError();
HANDLE GetCurrentProcess();
BOOL IsWow64Process(HANDLE hProcess, BOOL* Wow64Process);
DWORD GetFullPathNameW(LPCWSTR lpFileName, DWORD nBufferLength, LPWSTR lpBuffer,
                       LPWSTR* lpFilePart);
DWORD GetFileAttributesW(LPCWSTR lpFileName);
HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPVOID lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, DWORD* lpNumberOfBytesRead,
              LPVOID lpOverlapped);
BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
               DWORD* lpNumberOfBytesWritten, LPVOID lpOverlapped);
BOOL CloseHandle(HANDLE hObject);
DWORD GetTempPathW(DWORD nBufferLength, LPWSTR lpBuffer);
DWORD FormatMessageW(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                     LPWSTR lpBuffer, DWORD nSize, LPVOID Arguments);
void GetLocalTime(SYSTEMTIME* lpSystemTime);
BOOL SetupCopyOEMInfW(PCWSTR SourceInfFileName, PCWSTR OEMSourceMediaLocation,
                      DWORD OEMSourceMediaType, DWORD CopyStyle, PWSTR DestinationInfFileName,
                      DWORD DestinationInfFileNameSize, DWORD* RequiredSize,
                      PWSTR* DestinationInfFileNameComponent);
BOOL UpdateDriverForPlugAndPlayDevicesW(HWND hwndParent, LPCWSTR HardwareId, LPCWSTR FullInfPath,
                                        DWORD InstallFlags, BOOL* bRebootRequired);

// File sizes and CNG hashing, for catalog digests. Only QuadPart of LARGE_INTEGER is used.
typedef int32_t NTSTATUS;
typedef uint32_t ULONG;
typedef uint8_t UCHAR;
typedef UCHAR* PUCHAR;
typedef void* BCRYPT_ALG_HANDLE;
typedef void* BCRYPT_HASH_HANDLE;
struct LARGE_INTEGER {
    int64_t QuadPart;
};
#define BCRYPT_SHA1_ALGORITHM L"SHA1"
#define BCRYPT_SHA256_ALGORITHM L"SHA256"
#define BCRYPT_SUCCESS(status) ((status) >= 0)

BOOL GetFileSizeEx(HANDLE hFile, LARGE_INTEGER* lpFileSize);
NTSTATUS BCryptOpenAlgorithmProvider(BCRYPT_ALG_HANDLE* phAlgorithm, LPCWSTR pszAlgId,
                                     LPCWSTR pszImplementation, ULONG dwFlags);
NTSTATUS BCryptCreateHash(BCRYPT_ALG_HANDLE hAlgorithm, BCRYPT_HASH_HANDLE* phHash,
                          PUCHAR pbHashObject, ULONG cbHashObject, PUCHAR pbSecret, ULONG cbSecret,
                          ULONG dwFlags);
NTSTATUS BCryptHashData(BCRYPT_HASH_HANDLE hHash, PUCHAR pbInput, ULONG cbInput, ULONG dwFlags);
NTSTATUS BCryptFinishHash(BCRYPT_HASH_HANDLE hHash, PUCHAR pbOutput, ULONG cbOutput, ULONG dwFlags);
NTSTATUS BCryptDestroyHash(BCRYPT_HASH_HANDLE hHash);
NTSTATUS BCryptCloseAlgorithmProvider(BCRYPT_ALG_HANDLE hAlgorithm, ULONG dwFlags);

#endif

// Older SDKs lack it; the value is fixed by the Windows ABI.
#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif
#ifndef ERROR_DIRECTORY_NOT_SUPPORTED
#define ERROR_DIRECTORY_NOT_SUPPORTED 336u
#endif

#endif
