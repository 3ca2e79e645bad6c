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
// Whether Windows trusts a catalog's signer: WinVerifyTrust and the certificate stores.
#include <wincrypt.h>
#include <wintrust.h>
#include <softpub.h>

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

// Whether Windows trusts a catalog's signer: WinVerifyTrust on a catalog member for driver
// installation, and a certificate looked up in a system store. Only the fields used here.
typedef int32_t LONG;
typedef uint8_t BYTE;
typedef uintptr_t ULONG_PTR;
typedef void* HCERTSTORE;
struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
struct WINTRUST_CATALOG_INFO {
    DWORD cbStruct;
    DWORD dwCatalogVersion;
    LPCWSTR pcwszCatalogFilePath;
    LPCWSTR pcwszMemberTag;
    LPCWSTR pcwszMemberFilePath;
    HANDLE hMemberFile;
    BYTE* pbCalculatedFileHash;
    DWORD cbCalculatedFileHash;
    const void* pcCatalogContext;
    HANDLE hCatAdmin;
};
struct WINTRUST_DATA {
    DWORD cbStruct;
    LPVOID pPolicyCallbackData;
    LPVOID pSIPClientData;
    DWORD dwUIChoice;
    DWORD fdwRevocationChecks;
    DWORD dwUnionChoice;
    WINTRUST_CATALOG_INFO* pCatalog;
    DWORD dwStateAction;
    HANDLE hWVTStateData;
    WCHAR* pwszURLReference;
    DWORD dwProvFlags;
    DWORD dwUIContext;
};
struct CERT_CONTEXT;
typedef const CERT_CONTEXT* PCCERT_CONTEXT;
struct DRIVER_VER_INFO {
    DWORD cbStruct;
    ULONG_PTR dwReserved1;
    ULONG_PTR dwReserved2;
    DWORD dwPlatform;
    DWORD dwVersion;
    WCHAR wszVersion[MAX_PATH];
    WCHAR wszSignedBy[MAX_PATH];
    PCCERT_CONTEXT pcSignerCertContext;
};
struct CRYPT_INTEGER_BLOB {
    DWORD cbData;
    BYTE* pbData;
};
typedef CRYPT_INTEGER_BLOB CERT_NAME_BLOB;
struct CERT_INFO {
    DWORD dwVersion;
    CRYPT_INTEGER_BLOB SerialNumber;
    CERT_NAME_BLOB Issuer;
};
#define DRIVER_ACTION_VERIFY                               \
    {                                                      \
        0xf750e6c3, 0x38ee, 0x11d1, {                      \
            0x85, 0xe5, 0x00, 0xc0, 0x4f, 0xc2, 0x95, 0xee \
        }                                                  \
    }
#define WTD_UI_NONE 2u
#define WTD_REVOKE_NONE 0u
#define WTD_CHOICE_CATALOG 2u
#define WTD_STATEACTION_IGNORE 0u
#define X509_ASN_ENCODING 0x00000001u
#define PKCS_7_ASN_ENCODING 0x00010000u
#define CERT_STORE_PROV_SYSTEM_W (reinterpret_cast<LPCSTR>(static_cast<intptr_t>(10)))
#define CERT_SYSTEM_STORE_LOCAL_MACHINE 0x00020000u
#define CERT_STORE_READONLY_FLAG 0x00008000u
#define CERT_STORE_OPEN_EXISTING_FLAG 0x00004000u
#define CERT_FIND_SUBJECT_CERT 0x000b0000u
#define TRUST_E_NOSIGNATURE static_cast<LONG>(0x800B0100u)
#define TRUST_E_BAD_DIGEST static_cast<LONG>(0x80096010u)
#define CERT_E_EXPIRED static_cast<LONG>(0x800B0101u)
#define CERT_E_UNTRUSTEDROOT static_cast<LONG>(0x800B0109u)
#define TRUST_E_EXPLICIT_DISTRUST static_cast<LONG>(0x800B0111u)

LONG WinVerifyTrust(HWND hwnd, GUID* pgActionID, LPVOID pWVTData);
HCERTSTORE CertOpenStore(LPCSTR lpszStoreProvider, DWORD dwEncodingType, ULONG_PTR hCryptProv,
                         DWORD dwFlags, const void* pvPara);
PCCERT_CONTEXT CertFindCertificateInStore(HCERTSTORE hCertStore, DWORD dwCertEncodingType,
                                          DWORD dwFindFlags, DWORD dwFindType,
                                          const void* pvFindPara, PCCERT_CONTEXT pPrevCertContext);
BOOL CertFreeCertificateContext(PCCERT_CONTEXT pCertContext);
BOOL CertCloseStore(HCERTSTORE hCertStore, DWORD dwFlags);

// The record of a staged package (the registry's Uninstall keys), the kept copy of the
// pre-installer, and removal: the files it touches, setupapi's and newdev's calls, the message
// box and the restart.
typedef struct HKEY__* HKEY;
typedef DWORD REGSAM;
typedef LONG LSTATUS;
struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};
struct WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    WCHAR cFileName[MAX_PATH];
    WCHAR cAlternateFileName[14];
};
struct LUID {
    DWORD LowPart;
    LONG HighPart;
};
struct LUID_AND_ATTRIBUTES {
    LUID Luid;
    DWORD Attributes;
};
struct TOKEN_PRIVILEGES {
    DWORD PrivilegeCount;
    LUID_AND_ATTRIBUTES Privileges[1];
};
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<intptr_t>(0x80000002u)))
#define KEY_QUERY_VALUE 0x0001u
#define KEY_SET_VALUE 0x0002u
#define KEY_ENUMERATE_SUB_KEYS 0x0008u
#define KEY_READ 0x20019u
#define KEY_WRITE 0x20006u
#define KEY_WOW64_64KEY 0x0100u
#define KEY_WOW64_32KEY 0x0200u
#define DELETE 0x00010000u
#define REG_OPTION_NON_VOLATILE 0u
#define REG_SZ 1u
#define REG_DWORD 4u
#define ERROR_NO_MORE_ITEMS 259u
#define ERROR_MORE_DATA 234u
#define ERROR_ALREADY_EXISTS 183u
#define MOVEFILE_DELAY_UNTIL_REBOOT 0x00000004u
#define MB_OK 0x00000000u
#define MB_ICONERROR 0x00000010u
#define MB_ICONINFORMATION 0x00000040u
#define MB_SETFOREGROUND 0x00010000u
#define TOKEN_ADJUST_PRIVILEGES 0x0020u
#define TOKEN_QUERY 0x0008u
#define SE_PRIVILEGE_ENABLED 0x00000002u
#define SHUTDOWN_RESTART 0x00000004u
#define SHTDN_REASON_MAJOR_SOFTWARE 0x00030000u
#define SHTDN_REASON_MINOR_INSTALLATION 0x00000002u
#define SHTDN_REASON_FLAG_PLANNED 0x80000000u

LSTATUS RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass,
                        DWORD dwOptions, REGSAM samDesired, LPVOID lpSecurityAttributes,
                        HKEY* phkResult, DWORD* lpdwDisposition);
LSTATUS RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                      HKEY* phkResult);
LSTATUS RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType,
                       const BYTE* lpData, DWORD cbData);
LSTATUS RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD* lpReserved, DWORD* lpType,
                         BYTE* lpData, DWORD* lpcbData);
LSTATUS RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, DWORD* lpcchName, DWORD* lpReserved,
                      LPWSTR lpClass, DWORD* lpcchClass, FILETIME* lpftLastWriteTime);
LSTATUS RegDeleteKeyExW(HKEY hKey, LPCWSTR lpSubKey, REGSAM samDesired, DWORD Reserved);
LSTATUS RegCloseKey(HKEY hKey);
DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);
HMODULE GetModuleHandleW(LPCWSTR lpModuleName);
DWORD GetEnvironmentVariableW(LPCWSTR lpName, LPWSTR lpBuffer, DWORD nSize);
UINT GetWindowsDirectoryW(LPWSTR lpBuffer, UINT uSize);
BOOL CreateDirectoryW(LPCWSTR lpPathName, LPVOID lpSecurityAttributes);
BOOL CopyFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, BOOL bFailIfExists);
BOOL DeleteFileW(LPCWSTR lpFileName);
BOOL MoveFileExW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, DWORD dwFlags);
HANDLE FindFirstFileW(LPCWSTR lpFileName, WIN32_FIND_DATAW* lpFindFileData);
BOOL FindNextFileW(HANDLE hFindFile, WIN32_FIND_DATAW* lpFindFileData);
BOOL FindClose(HANDLE hFindFile);
BOOL SetupUninstallOEMInfW(PCWSTR InfFileName, DWORD Flags, LPVOID Reserved);
INT MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType);
BOOL OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, HANDLE* TokenHandle);
BOOL LookupPrivilegeValueW(LPCWSTR lpSystemName, LPCWSTR lpName, LUID* lpLuid);
BOOL AdjustTokenPrivileges(HANDLE TokenHandle, BOOL DisableAllPrivileges,
                           TOKEN_PRIVILEGES* NewState, DWORD BufferLength,
                           TOKEN_PRIVILEGES* PreviousState, DWORD* ReturnLength);
DWORD InitiateShutdownW(LPWSTR lpMachineName, LPWSTR lpMessage, DWORD dwGracePeriod,
                        DWORD dwShutdownFlags, DWORD dwReason);

#endif

// Older SDKs lack it; the value is fixed by the Windows ABI.
#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif
#ifndef ERROR_DIRECTORY_NOT_SUPPORTED
#define ERROR_DIRECTORY_NOT_SUPPORTED 336u
#endif
// Setup's codes for a package that does not match its catalog, and for a catalog that is not
// there; MinGW's setupapi.h lacks the first.
#ifndef ERROR_FILE_HASH_NOT_IN_CATALOG
#define ERROR_FILE_HASH_NOT_IN_CATALOG 0xE000024Bu
#endif
#ifndef ERROR_NO_CATALOG_FOR_OEM_INF
#define ERROR_NO_CATALOG_FOR_OEM_INF 0xE000022Fu
#endif
#ifndef ERROR_AUTHENTICODE_TRUST_NOT_ESTABLISHED
#define ERROR_AUTHENTICODE_TRUST_NOT_ESTABLISHED 0xE0000242u
#endif
#ifndef ERROR_AUTHENTICODE_PUBLISHER_NOT_TRUSTED
#define ERROR_AUTHENTICODE_PUBLISHER_NOT_TRUSTED 0xE0000243u
#endif
#ifndef ERROR_INF_IN_USE_BY_DEVICES
#define ERROR_INF_IN_USE_BY_DEVICES 0xE000023Du
#endif
// Exit code of a program that has started the restart it needed.
#ifndef ERROR_SUCCESS_REBOOT_INITIATED
#define ERROR_SUCCESS_REBOOT_INITIATED 1641u
#endif

// newdev's DiUninstallDriverW (Windows 10 1703 and later), looked up at run time.
typedef BOOL(WINAPI* DiUninstallDriverWFn)(HWND hwndParent, LPCWSTR InfPath, DWORD Flags,
                                           BOOL* NeedReboot);

#endif
