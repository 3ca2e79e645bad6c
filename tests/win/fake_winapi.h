// Recording fakes for the Windows calls behind the seam: each keeps its call history and a
// configurable answer, and ResetFakes() clears them all before every case.
#ifndef DRIVERSETUP_TESTS_WIN_FAKE_WINAPI_H
#define DRIVERSETUP_TESTS_WIN_FAKE_WINAPI_H

#include <string>
#include <vector>

#include "win/winapi_seam.h"

// A string argument as the fake saw it: whether the pointer was null, and a copy otherwise.
struct RecordedString {
    bool is_null;
    std::string text;
};

// Writes `written` into the caller's buffer (up to uSize bytes, terminator only if it fits)
// and returns return_val. SetSystemDirectory() sets both as Windows would for a real path.
// A custom_fake, when set, does the writing and answers instead.
struct GetSystemDirectoryAFake {
    int call_count;
    std::vector<UINT> arg_uSize;
    std::string written;
    UINT return_val;
    UINT (*custom_fake)(LPSTR lpBuffer, UINT uSize);
};

// Searches for real, ASCII letters compared regardless of case; an empty needle finds
// nothing, as on Windows.
struct StrStrIAFake {
    int call_count;
    std::vector<std::string> arg_pszFirst;
    std::vector<std::string> arg_pszSrch;
};

struct PathFileExistsAFake {
    int call_count;
    std::vector<std::string> arg_pszPath;
    BOOL return_val;
};

struct ShellExecuteACall {
    HWND hwnd;
    RecordedString lpOperation;
    RecordedString lpFile;
    RecordedString lpParameters;
    RecordedString lpDirectory;
    INT nShowCmd;
};

struct ShellExecuteAFake {
    int call_count;
    std::vector<ShellExecuteACall> calls;
    HINSTANCE return_val;
};

struct GetModuleHandleAFake {
    int call_count;
    std::vector<RecordedString> arg_lpModuleName;
    HMODULE return_val;  // kFakeKernel32 after ResetFakes()
};

// Hands out the two fakes below by name, each only while its flag is set (both after
// ResetFakes()); any other name gets null.
struct GetProcAddressFake {
    int call_count;
    std::vector<HMODULE> arg_hModule;
    std::vector<RecordedString> arg_lpProcName;
    bool has_SetDefaultDllDirectories;
    bool has_SetDllDirectoryA;
};

struct SetDefaultDllDirectoriesFake {
    int call_count;
    std::vector<DWORD> arg_DirectoryFlags;
    BOOL return_val;  // TRUE after ResetFakes()
};

struct SetDllDirectoryAFake {
    int call_count;
    std::vector<RecordedString> arg_lpPathName;
    BOOL return_val;  // TRUE after ResetFakes()
};

// A handle that only the fakes know, standing for kernel32.
extern const HMODULE kFakeKernel32;

extern GetSystemDirectoryAFake GetSystemDirectoryA_fake;
extern StrStrIAFake StrStrIA_fake;
extern PathFileExistsAFake PathFileExistsA_fake;
extern ShellExecuteAFake ShellExecuteA_fake;
extern GetModuleHandleAFake GetModuleHandleA_fake;
extern GetProcAddressFake GetProcAddress_fake;
extern SetDefaultDllDirectoriesFake SetDefaultDllDirectories_fake;
extern SetDllDirectoryAFake SetDllDirectoryA_fake;

// Names of the faked calls in the order they were made, across all fakes.
extern std::vector<std::string> fake_call_sequence;

void ResetFakes();

// Makes GetSystemDirectoryA succeed with `path`, returning its length as Windows does.
void SetSystemDirectory(const std::string& path);

#endif
