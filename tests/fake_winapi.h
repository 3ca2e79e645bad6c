// Recording fakes for the Windows calls behind the seam: each keeps its call history and a
// configurable answer, and ResetFakes() clears them all before every case.
#ifndef DRIVERSETUP_TESTS_FAKE_WINAPI_H
#define DRIVERSETUP_TESTS_FAKE_WINAPI_H

#include <string>
#include <vector>

#include "winapi_seam.h"

// A string argument as the fake saw it: whether the pointer was null, and a copy otherwise.
struct RecordedString {
    bool is_null;
    std::string text;
};

// Writes `written` into the caller's buffer (up to uSize bytes, terminator only if it fits)
// and returns return_val. SetSystemDirectory() sets both as Windows would for a real path.
struct GetSystemDirectoryAFake {
    int call_count;
    std::vector<UINT> arg_uSize;
    std::string written;
    UINT return_val;
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

extern GetSystemDirectoryAFake GetSystemDirectoryA_fake;
extern StrStrIAFake StrStrIA_fake;
extern PathFileExistsAFake PathFileExistsA_fake;
extern ShellExecuteAFake ShellExecuteA_fake;

// Names of the faked calls in the order they were made, across all fakes.
extern std::vector<std::string> fake_call_sequence;

void ResetFakes();

// Makes GetSystemDirectoryA succeed with `path`, returning its length as Windows does.
void SetSystemDirectory(const std::string& path);

#endif
