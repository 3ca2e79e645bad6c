// Link-time fakes for the Windows calls behind the seam.
#include "win/fake_winapi.h"

#include <ctype.h>
#include <string.h>

GetSystemDirectoryAFake GetSystemDirectoryA_fake;
StrStrIAFake StrStrIA_fake;
PathFileExistsAFake PathFileExistsA_fake;
ShellExecuteAFake ShellExecuteA_fake;
GetModuleHandleAFake GetModuleHandleA_fake;
GetProcAddressFake GetProcAddress_fake;
SetDefaultDllDirectoriesFake SetDefaultDllDirectories_fake;
SetDllDirectoryAFake SetDllDirectoryA_fake;
std::vector<std::string> fake_call_sequence;

static int fake_kernel32_module;
const HMODULE kFakeKernel32 = reinterpret_cast<HMODULE>(&fake_kernel32_module);

static RecordedString Record(const char* text) {
    if (text == NULL) {
        return RecordedString{true, std::string()};
    }
    return RecordedString{false, std::string(text)};
}

void ResetFakes() {
    GetSystemDirectoryA_fake = GetSystemDirectoryAFake();
    StrStrIA_fake = StrStrIAFake();
    PathFileExistsA_fake = PathFileExistsAFake();
    ShellExecuteA_fake = ShellExecuteAFake();
    GetModuleHandleA_fake = GetModuleHandleAFake();
    GetModuleHandleA_fake.return_val = kFakeKernel32;
    GetProcAddress_fake = GetProcAddressFake();
    GetProcAddress_fake.has_SetDefaultDllDirectories = true;
    GetProcAddress_fake.has_SetDllDirectoryA = true;
    SetDefaultDllDirectories_fake = SetDefaultDllDirectoriesFake();
    SetDefaultDllDirectories_fake.return_val = TRUE;
    SetDllDirectoryA_fake = SetDllDirectoryAFake();
    SetDllDirectoryA_fake.return_val = TRUE;
    fake_call_sequence.clear();
}

void SetSystemDirectory(const std::string& path) {
    GetSystemDirectoryA_fake.written = path;
    GetSystemDirectoryA_fake.return_val = static_cast<UINT>(path.size());
}

UINT GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) {
    GetSystemDirectoryAFake& fake = GetSystemDirectoryA_fake;
    ++fake.call_count;
    fake.arg_uSize.push_back(uSize);
    fake_call_sequence.push_back("GetSystemDirectoryA");
    if (fake.custom_fake != NULL) {
        return fake.custom_fake(lpBuffer, uSize);
    }
    const std::string& written = fake.written;
    const size_t with_terminator = written.size() + 1;
    memcpy(lpBuffer, written.c_str(), with_terminator <= uSize ? with_terminator : uSize);
    return fake.return_val;
}

PCSTR StrStrIA(PCSTR pszFirst, PCSTR pszSrch) {
    ++StrStrIA_fake.call_count;
    StrStrIA_fake.arg_pszFirst.push_back(pszFirst);
    StrStrIA_fake.arg_pszSrch.push_back(pszSrch);
    fake_call_sequence.push_back("StrStrIA");
    const size_t needle_length = strlen(pszSrch);
    if (needle_length == 0) {
        return NULL;
    }
    for (const char* at = pszFirst; *at != '\0'; ++at) {
        size_t matched = 0;
        while (matched < needle_length && at[matched] != '\0' &&
               tolower(static_cast<unsigned char>(at[matched])) ==
                   tolower(static_cast<unsigned char>(pszSrch[matched]))) {
            ++matched;
        }
        if (matched == needle_length) {
            return at;
        }
    }
    return NULL;
}

BOOL PathFileExistsA(LPCSTR pszPath) {
    ++PathFileExistsA_fake.call_count;
    PathFileExistsA_fake.arg_pszPath.push_back(pszPath);
    fake_call_sequence.push_back("PathFileExistsA");
    return PathFileExistsA_fake.return_val;
}

HINSTANCE ShellExecuteA(HWND hwnd, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters,
                        LPCSTR lpDirectory, INT nShowCmd) {
    ++ShellExecuteA_fake.call_count;
    ShellExecuteA_fake.calls.push_back(ShellExecuteACall{hwnd, Record(lpOperation), Record(lpFile),
                                                         Record(lpParameters), Record(lpDirectory),
                                                         nShowCmd});
    fake_call_sequence.push_back("ShellExecuteA");
    return ShellExecuteA_fake.return_val;
}

HMODULE GetModuleHandleA(LPCSTR lpModuleName) {
    ++GetModuleHandleA_fake.call_count;
    GetModuleHandleA_fake.arg_lpModuleName.push_back(Record(lpModuleName));
    fake_call_sequence.push_back("GetModuleHandleA");
    return GetModuleHandleA_fake.return_val;
}

static BOOL FakeSetDefaultDllDirectories(DWORD DirectoryFlags) {
    ++SetDefaultDllDirectories_fake.call_count;
    SetDefaultDllDirectories_fake.arg_DirectoryFlags.push_back(DirectoryFlags);
    fake_call_sequence.push_back("SetDefaultDllDirectories");
    return SetDefaultDllDirectories_fake.return_val;
}

static BOOL FakeSetDllDirectoryA(LPCSTR lpPathName) {
    ++SetDllDirectoryA_fake.call_count;
    SetDllDirectoryA_fake.arg_lpPathName.push_back(Record(lpPathName));
    fake_call_sequence.push_back("SetDllDirectoryA");
    return SetDllDirectoryA_fake.return_val;
}

// The same detour through void (*)(void) that the code under test takes on the way back.
template <typename Fn>
static FARPROC AsFarProc(Fn function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)(void)>(function));
}

FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    GetProcAddressFake& fake = GetProcAddress_fake;
    ++fake.call_count;
    fake.arg_hModule.push_back(hModule);
    fake.arg_lpProcName.push_back(Record(lpProcName));
    fake_call_sequence.push_back("GetProcAddress");
    if (lpProcName == NULL) {
        return NULL;
    }
    if (fake.has_SetDefaultDllDirectories && strcmp(lpProcName, "SetDefaultDllDirectories") == 0) {
        return AsFarProc(&FakeSetDefaultDllDirectories);
    }
    if (fake.has_SetDllDirectoryA && strcmp(lpProcName, "SetDllDirectoryA") == 0) {
        return AsFarProc(&FakeSetDllDirectoryA);
    }
    return NULL;
}
