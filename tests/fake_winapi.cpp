// Link-time fakes for the Windows calls behind the seam.
#include "fake_winapi.h"

#include <ctype.h>
#include <string.h>

GetSystemDirectoryAFake GetSystemDirectoryA_fake;
StrStrIAFake StrStrIA_fake;
PathFileExistsAFake PathFileExistsA_fake;
ShellExecuteAFake ShellExecuteA_fake;
std::vector<std::string> fake_call_sequence;

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
