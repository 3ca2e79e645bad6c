// Keeps, and later deletes, the pre-installer's own copy under %ProgramFiles%.
#include "preinstaller/kept_copy.h"

#include "inf/ascii.h"
#include "inf/wide_text.h"

static const wchar_t kProgramFilesVariable[] = L"ProgramFiles";
static const wchar_t kFolderName[] = L"QZDrvPrep";

DWORD KeptCopyPath(WindowsKind build, std::wstring* path) {
    wchar_t program_files[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(kProgramFilesVariable, program_files, MAX_PATH);
    if (length == 0) {
        return GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_PATH_NOT_FOUND;
    }
    if (length >= MAX_PATH) {
        return ERROR_FILENAME_EXCED_RANGE;
    }
    *path = std::wstring(program_files, length) + L"\\" + kFolderName + L"\\" +
            WideFromUtf8(kWindowsKinds[build].preinstaller);
    return path->size() < MAX_PATH ? ERROR_SUCCESS : ERROR_FILENAME_EXCED_RANGE;
}

DWORD KeepCopy(WindowsKind build, std::wstring* path) {
    const DWORD where = KeptCopyPath(build, path);
    if (where != ERROR_SUCCESS) {
        return where;
    }
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(NULL, self, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return length == 0 ? GetLastError() : ERROR_FILENAME_EXCED_RANGE;
    }
    const std::wstring running(self, length);
    if (FoldAscii(Utf8FromWide(running)) == FoldAscii(Utf8FromWide(*path))) {
        return ERROR_SUCCESS;
    }
    const std::wstring folder = path->substr(0, path->find_last_of(L'\\'));
    if (!CreateDirectoryW(folder.c_str(), NULL) && GetLastError() != ERROR_ALREADY_EXISTS) {
        return GetLastError();
    }
    return CopyFileW(running.c_str(), path->c_str(), FALSE) ? ERROR_SUCCESS : GetLastError();
}

DWORD ForgetCopy(const std::wstring& path, bool* delayed) {
    *delayed = false;
    if (DeleteFileW(path.c_str())) {
        return ERROR_SUCCESS;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        return ERROR_SUCCESS;
    }
    if (!MoveFileExW(path.c_str(), NULL, MOVEFILE_DELAY_UNTIL_REBOOT)) {
        return GetLastError();
    }
    *delayed = true;
    return ERROR_SUCCESS;
}
