// The fakes behind the seam for the pre-installer's unit tests.
#include "fake_preinstaller_api.h"

#include <string.h>

const wchar_t kFakeWorkingDirectory[] = L"C:\\dist\\";
const wchar_t kFakeTempDirectory[] = L"C:\\Temp\\";

PreinstallerFakes preinstaller_fakes;

static DWORD last_error = 0;

// Open handles: the file each reads and how far, or the log.
struct OpenFile {
    bool is_log;
    std::wstring path;
    size_t offset;
};
static std::map<intptr_t, OpenFile> open_files;
static intptr_t next_handle = 100;
static int fake_process_token = 0;

void ResetPreinstallerFakes() {
    preinstaller_fakes = PreinstallerFakes();
    preinstaller_fakes.log_fails = false;
    preinstaller_fakes.is_wow64 = FALSE;
    preinstaller_fakes.is_wow64_calls = 0;
    preinstaller_fakes.copy_error = 0;
    preinstaller_fakes.stored_as = L"C:\\Windows\\INF\\oem7.inf";
    preinstaller_fakes.read_fails_at = static_cast<size_t>(-1);
    preinstaller_fakes.trust_answer = 0;
    preinstaller_fakes.publisher_trusted = false;
    preinstaller_fakes.open_stores = 0;
    preinstaller_fakes.open_certificates = 0;
    open_files.clear();
    last_error = 0;
}

static HANDLE NewHandle(const OpenFile& file) {
    open_files[next_handle] = file;
    return reinterpret_cast<HANDLE>(next_handle++);
}

static bool IsAbsolute(LPCWSTR path) {
    return (path[0] != L'\0' && path[1] == L':') || (path[0] == L'\\' && path[1] == L'\\');
}

DWORD GetLastError() {
    return last_error;
}

HANDLE GetCurrentProcess() {
    return &fake_process_token;
}

BOOL IsWow64Process(HANDLE process, BOOL* wow64) {
    ++preinstaller_fakes.is_wow64_calls;
    if (process != &fake_process_token) {
        return FALSE;
    }
    *wow64 = preinstaller_fakes.is_wow64;
    return TRUE;
}

DWORD GetFullPathNameW(LPCWSTR name, DWORD size, LPWSTR buffer, LPWSTR* file_part) {
    const std::wstring full =
        IsAbsolute(name) ? std::wstring(name) : kFakeWorkingDirectory + std::wstring(name);
    if (file_part != NULL) {
        *file_part = NULL;
    }
    // As on Windows: the length without terminator when it fits, else the size it needs.
    if (full.size() + 1 > size) {
        return static_cast<DWORD>(full.size() + 1);
    }
    wmemcpy(buffer, full.c_str(), full.size() + 1);
    return static_cast<DWORD>(full.size());
}

DWORD GetFileAttributesW(LPCWSTR name) {
    const std::map<std::wstring, FakeFile>::const_iterator found =
        preinstaller_fakes.files.find(name);
    if (found == preinstaller_fakes.files.end()) {
        last_error = ERROR_FILE_NOT_FOUND;
        return INVALID_FILE_ATTRIBUTES;
    }
    return found->second.is_folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}

HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD, LPVOID, DWORD disposition, DWORD, HANDLE) {
    if (access == FILE_APPEND_DATA && disposition == OPEN_ALWAYS) {
        preinstaller_fakes.log_paths.push_back(name);
        if (preinstaller_fakes.log_fails) {
            last_error = ERROR_ACCESS_DENIED;
            return INVALID_HANDLE_VALUE;
        }
        const OpenFile log = {true, name, 0};
        return NewHandle(log);
    }
    const std::map<std::wstring, FakeFile>::const_iterator found =
        preinstaller_fakes.files.find(name);
    if (access != GENERIC_READ || disposition != OPEN_EXISTING ||
        found == preinstaller_fakes.files.end() || found->second.is_folder) {
        last_error =
            found == preinstaller_fakes.files.end() ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED;
        return INVALID_HANDLE_VALUE;
    }
    const OpenFile file = {false, name, 0};
    return NewHandle(file);
}

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD size, DWORD* read, LPVOID) {
    std::map<intptr_t, OpenFile>::iterator open =
        open_files.find(reinterpret_cast<intptr_t>(handle));
    if (open == open_files.end() || open->second.is_log) {
        last_error = ERROR_ACCESS_DENIED;
        return FALSE;
    }
    const std::string& bytes = preinstaller_fakes.files[open->second.path].bytes;
    if (open->second.offset >= preinstaller_fakes.read_fails_at) {
        last_error = ERROR_INVALID_DATA;
        return FALSE;
    }
    const size_t left = bytes.size() - open->second.offset;
    const size_t count = left < size ? left : size;
    memcpy(buffer, bytes.data() + open->second.offset, count);
    open->second.offset += count;
    *read = static_cast<DWORD>(count);
    return TRUE;
}

BOOL WriteFile(HANDLE handle, LPCVOID data, DWORD size, DWORD* written, LPVOID) {
    std::map<intptr_t, OpenFile>::iterator open =
        open_files.find(reinterpret_cast<intptr_t>(handle));
    if (open == open_files.end() || !open->second.is_log) {
        last_error = ERROR_ACCESS_DENIED;
        return FALSE;
    }
    preinstaller_fakes.log.append(static_cast<const char*>(data), size);
    *written = size;
    return TRUE;
}

size_t OpenFileHandles() {
    return open_files.size();
}

BOOL GetFileSizeEx(HANDLE handle, LARGE_INTEGER* size) {
    std::map<intptr_t, OpenFile>::iterator open =
        open_files.find(reinterpret_cast<intptr_t>(handle));
    if (open == open_files.end() || open->second.is_log) {
        last_error = ERROR_ACCESS_DENIED;
        return FALSE;
    }
    size->QuadPart = static_cast<int64_t>(preinstaller_fakes.files[open->second.path].bytes.size());
    return TRUE;
}

BOOL CloseHandle(HANDLE handle) {
    return open_files.erase(reinterpret_cast<intptr_t>(handle)) == 1;
}

DWORD GetTempPathW(DWORD size, LPWSTR buffer) {
    const std::wstring temp = kFakeTempDirectory;
    if (temp.size() + 1 > size) {
        return static_cast<DWORD>(temp.size() + 1);
    }
    wmemcpy(buffer, temp.c_str(), temp.size() + 1);
    return static_cast<DWORD>(temp.size());
}

// "error N." with Windows' own line end, so the log's one-line rule is exercised.
DWORD FormatMessageW(DWORD, LPCVOID, DWORD code, DWORD, LPWSTR buffer, DWORD size, LPVOID) {
    const std::wstring text = L"error " + std::to_wstring(code) + L".\r\n";
    if (text.size() + 1 > size) {
        return 0;
    }
    wmemcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}

void GetLocalTime(SYSTEMTIME* time) {
    const SYSTEMTIME fixed = {2026, 12, 3, 9, 10, 11, 12, 0};
    *time = fixed;
}

BOOL SetupCopyOEMInfW(PCWSTR source, PCWSTR media, DWORD media_type, DWORD style, PWSTR dest,
                      DWORD dest_size, DWORD*, PWSTR*) {
    preinstaller_fakes.sequence.push_back("SetupCopyOEMInfW");
    const SetupCopyOEMInfWCall call = {source, media == NULL, media_type, style};
    preinstaller_fakes.copy_calls.push_back(call);
    if (preinstaller_fakes.copy_error != 0) {
        last_error = preinstaller_fakes.copy_error;
        return FALSE;
    }
    const std::wstring& stored = preinstaller_fakes.stored_as;
    if (dest != NULL && stored.size() + 1 <= dest_size) {
        wmemcpy(dest, stored.c_str(), stored.size() + 1);
    }
    return TRUE;
}

BOOL UpdateDriverForPlugAndPlayDevicesW(HWND parent, LPCWSTR id, LPCWSTR inf, DWORD flags,
                                        BOOL* reboot) {
    preinstaller_fakes.sequence.push_back("UpdateDriverForPlugAndPlayDevicesW");
    const UpdateDriverCall call = {parent == NULL, id, inf, flags};
    preinstaller_fakes.update_calls.push_back(call);
    const std::map<std::wstring, UpdateAnswer>::const_iterator answer =
        preinstaller_fakes.update_answers.find(id);
    if (answer == preinstaller_fakes.update_answers.end()) {
        last_error = ERROR_NO_SUCH_DEVINST;
        return FALSE;
    }
    if (answer->second.error != 0) {
        last_error = answer->second.error;
        return FALSE;
    }
    if (reboot != NULL) {
        *reboot = answer->second.reboot;
    }
    return TRUE;
}

static int fake_store_token = 0;
static int fake_certificate_token = 0;

LONG WinVerifyTrust(HWND, GUID* action, LPVOID data) {
    static const GUID kDriverAction = DRIVER_ACTION_VERIFY;
    const WINTRUST_DATA* trust = static_cast<const WINTRUST_DATA*>(data);
    WinVerifyTrustCall call;
    call.is_driver_action = memcmp(action, &kDriverAction, sizeof kDriverAction) == 0;
    const DRIVER_VER_INFO* info = static_cast<const DRIVER_VER_INFO*>(trust->pPolicyCallbackData);
    call.has_driver_info = info != NULL && info->cbStruct == sizeof(DRIVER_VER_INFO);
    call.ui_choice = trust->dwUIChoice;
    call.union_choice = trust->dwUnionChoice;
    call.state_action = trust->dwStateAction;
    call.catalog = trust->pCatalog->pcwszCatalogFilePath;
    call.member_tag = trust->pCatalog->pcwszMemberTag;
    call.member_file = trust->pCatalog->pcwszMemberFilePath;
    preinstaller_fakes.trust_calls.push_back(call);
    return preinstaller_fakes.trust_answer;
}

HCERTSTORE CertOpenStore(LPCSTR provider, DWORD, ULONG_PTR, DWORD flags, const void* parameter) {
    CertStoreCall call = CertStoreCall();
    call.is_system_store = provider == CERT_STORE_PROV_SYSTEM_W;
    call.flags = flags;
    call.name = static_cast<const wchar_t*>(parameter);
    preinstaller_fakes.store_calls.push_back(call);
    ++preinstaller_fakes.open_stores;
    return &fake_store_token;
}

PCCERT_CONTEXT CertFindCertificateInStore(HCERTSTORE store, DWORD, DWORD, DWORD find_type,
                                          const void* parameter, PCCERT_CONTEXT) {
    if (store != &fake_store_token || preinstaller_fakes.store_calls.empty()) {
        return NULL;
    }
    const CERT_INFO* wanted = static_cast<const CERT_INFO*>(parameter);
    CertStoreCall& call = preinstaller_fakes.store_calls.back();
    call.find_type = find_type;
    call.issuer.assign(reinterpret_cast<const char*>(wanted->Issuer.pbData), wanted->Issuer.cbData);
    call.serial.assign(reinterpret_cast<const char*>(wanted->SerialNumber.pbData),
                       wanted->SerialNumber.cbData);
    if (!preinstaller_fakes.publisher_trusted) {
        return NULL;
    }
    ++preinstaller_fakes.open_certificates;
    return reinterpret_cast<PCCERT_CONTEXT>(&fake_certificate_token);
}

BOOL CertFreeCertificateContext(PCCERT_CONTEXT) {
    --preinstaller_fakes.open_certificates;
    return TRUE;
}

BOOL CertCloseStore(HCERTSTORE, DWORD) {
    --preinstaller_fakes.open_stores;
    return TRUE;
}
