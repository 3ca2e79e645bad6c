// The fakes behind the seam for the pre-installer's unit tests.
#include "fake_preinstaller_api.h"

#include <string.h>
#include <wchar.h>
#include <wctype.h>

const wchar_t kFakeWorkingDirectory[] = L"C:\\dist\\";
const wchar_t kFakeTempDirectory[] = L"C:\\Temp\\";
const wchar_t kFakeWindowsDirectory[] = L"C:\\Windows";

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

static void ResetRemovalFakes();

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
    preinstaller_fakes.registry_write_error = ERROR_SUCCESS;
    preinstaller_fakes.module_path = L"D:\\Drive\\amd64\\QZDrvPrep_x64.exe";
    preinstaller_fakes.files[preinstaller_fakes.module_path] = FakeFile{false, "MZ program"};
    preinstaller_fakes.program_files = L"C:\\Program Files";
    preinstaller_fakes.has_di_uninstall = false;
    preinstaller_fakes.uninstall_error = 0;
    preinstaller_fakes.uninstall_reboot = FALSE;
    preinstaller_fakes.shutdown_error = 0;
    ResetRemovalFakes();
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
    // Windows keeps the INF as it is under its new name.
    preinstaller_fakes.files[stored] = preinstaller_fakes.files[source];
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

// The record, the kept copy and removal.

struct OpenKey {
    FakeView view;
    std::wstring path;
};
static std::map<intptr_t, OpenKey> open_keys;
struct OpenSearch {
    std::vector<std::wstring> names;
    size_t next;
};
static std::map<intptr_t, OpenSearch> open_searches;
static int fake_newdev_token = 0;
static int fake_token_token = 0;
static bool shutdown_privilege_enabled = false;

static void ResetRemovalFakes() {
    open_keys.clear();
    open_searches.clear();
    shutdown_privilege_enabled = false;
}

size_t OpenSearchHandles() {
    return open_searches.size();
}

size_t OpenRegistryHandles() {
    return open_keys.size();
}

static FakeView ViewOf(REGSAM access) {
    return (access & KEY_WOW64_32KEY) != 0 ? kFakeView32 : kFakeView64;
}

static HKEY NewKey(FakeView view, const std::wstring& path) {
    const OpenKey key = {view, path};
    open_keys[next_handle] = key;
    return reinterpret_cast<HKEY>(next_handle++);
}

static OpenKey* KeyOf(HKEY key) {
    const std::map<intptr_t, OpenKey>::iterator found =
        open_keys.find(reinterpret_cast<intptr_t>(key));
    return found == open_keys.end() ? NULL : &found->second;
}

static void RecordRegistryCall(const char* function, LPCWSTR key, REGSAM access) {
    const RegistryCall call = {function, key, access};
    preinstaller_fakes.registry_calls.push_back(call);
}

LSTATUS RegCreateKeyExW(HKEY root, LPCWSTR sub_key, DWORD, LPWSTR, DWORD, REGSAM access, LPVOID,
                        HKEY* result, DWORD*) {
    RecordRegistryCall("RegCreateKeyExW", sub_key, access);
    if (root != HKEY_LOCAL_MACHINE) {
        return ERROR_INVALID_PARAMETER;
    }
    if (preinstaller_fakes.registry_write_error != ERROR_SUCCESS) {
        return preinstaller_fakes.registry_write_error;
    }
    // Like the registry, makes the key's parents too.
    const std::wstring path = sub_key;
    for (size_t slash = path.find(L'\\'); slash != std::wstring::npos;
         slash = path.find(L'\\', slash + 1)) {
        preinstaller_fakes.registry[ViewOf(access)][path.substr(0, slash)];
    }
    preinstaller_fakes.registry[ViewOf(access)][path];
    *result = NewKey(ViewOf(access), path);
    return ERROR_SUCCESS;
}

LSTATUS RegOpenKeyExW(HKEY root, LPCWSTR sub_key, DWORD, REGSAM access, HKEY* result) {
    RecordRegistryCall("RegOpenKeyExW", sub_key, access);
    const FakeView view = ViewOf(access);
    if (root != HKEY_LOCAL_MACHINE || preinstaller_fakes.registry[view].count(sub_key) == 0) {
        return ERROR_FILE_NOT_FOUND;
    }
    *result = NewKey(view, sub_key);
    return ERROR_SUCCESS;
}

LSTATUS RegSetValueExW(HKEY key, LPCWSTR name, DWORD, DWORD type, const BYTE* data, DWORD size) {
    const OpenKey* open = KeyOf(key);
    if (open == NULL) {
        return ERROR_INVALID_PARAMETER;
    }
    const FakeRegistryValue value = {type, std::string(reinterpret_cast<const char*>(data), size)};
    preinstaller_fakes.registry[open->view][open->path][name] = value;
    return ERROR_SUCCESS;
}

LSTATUS RegQueryValueExW(HKEY key, LPCWSTR name, DWORD*, DWORD* type, BYTE* data, DWORD* size) {
    const OpenKey* open = KeyOf(key);
    if (open == NULL) {
        return ERROR_INVALID_PARAMETER;
    }
    const FakeRegistryKey& values = preinstaller_fakes.registry[open->view][open->path];
    const FakeRegistryKey::const_iterator found = values.find(name);
    if (found == values.end()) {
        return ERROR_FILE_NOT_FOUND;
    }
    *type = found->second.type;
    if (found->second.bytes.size() > *size) {
        *size = static_cast<DWORD>(found->second.bytes.size());
        return ERROR_MORE_DATA;
    }
    memcpy(data, found->second.bytes.data(), found->second.bytes.size());
    *size = static_cast<DWORD>(found->second.bytes.size());
    return ERROR_SUCCESS;
}

LSTATUS RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, DWORD* chars, DWORD*, LPWSTR, DWORD*,
                      FILETIME*) {
    const OpenKey* open = KeyOf(key);
    if (open == NULL) {
        return ERROR_INVALID_PARAMETER;
    }
    const std::wstring prefix = open->path + L"\\";
    DWORD seen = 0;
    const std::map<std::wstring, FakeRegistryKey>& keys = preinstaller_fakes.registry[open->view];
    for (std::map<std::wstring, FakeRegistryKey>::const_iterator it = keys.begin();
         it != keys.end(); ++it) {
        if (it->first.compare(0, prefix.size(), prefix) != 0 ||
            it->first.find(L'\\', prefix.size()) != std::wstring::npos) {
            continue;
        }
        if (seen++ == index) {
            const std::wstring child = it->first.substr(prefix.size());
            if (child.size() + 1 > *chars) {
                return ERROR_MORE_DATA;
            }
            wmemcpy(name, child.c_str(), child.size() + 1);
            *chars = static_cast<DWORD>(child.size());
            return ERROR_SUCCESS;
        }
    }
    return ERROR_NO_MORE_ITEMS;
}

LSTATUS RegDeleteKeyExW(HKEY root, LPCWSTR sub_key, REGSAM access, DWORD) {
    RecordRegistryCall("RegDeleteKeyExW", sub_key, access);
    if (root != HKEY_LOCAL_MACHINE) {
        return ERROR_INVALID_PARAMETER;
    }
    return preinstaller_fakes.registry[ViewOf(access)].erase(sub_key) == 1 ? ERROR_SUCCESS
                                                                           : ERROR_FILE_NOT_FOUND;
}

LSTATUS RegCloseKey(HKEY key) {
    return open_keys.erase(reinterpret_cast<intptr_t>(key)) == 1 ? ERROR_SUCCESS
                                                                 : ERROR_INVALID_PARAMETER;
}

// Copies `text` and its terminator into a buffer of `size` characters, as the Get*W calls do.
static DWORD CopyOut(const std::wstring& text, LPWSTR buffer, DWORD size) {
    if (text.size() + 1 > size) {
        return static_cast<DWORD>(text.size() + 1);
    }
    wmemcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size) {
    return module == NULL ? CopyOut(preinstaller_fakes.module_path, buffer, size) : 0;
}

HMODULE GetModuleHandleW(LPCWSTR name) {
    return std::wstring(name) == L"newdev.dll" ? reinterpret_cast<HMODULE>(&fake_newdev_token)
                                               : NULL;
}

static BOOL FakeDiUninstallDriverW(HWND, LPCWSTR inf, DWORD flags, BOOL* reboot) {
    const UninstallCall call = {"DiUninstallDriverW", inf, flags};
    preinstaller_fakes.uninstall_calls.push_back(call);
    if (preinstaller_fakes.uninstall_error != 0) {
        last_error = preinstaller_fakes.uninstall_error;
        return FALSE;
    }
    preinstaller_fakes.files.erase(inf);
    *reboot = preinstaller_fakes.uninstall_reboot;
    return TRUE;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
    if (module != reinterpret_cast<HMODULE>(&fake_newdev_token) ||
        std::string(name) != "DiUninstallDriverW" || !preinstaller_fakes.has_di_uninstall) {
        return NULL;
    }
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)(void)>(&FakeDiUninstallDriverW));
}

DWORD GetEnvironmentVariableW(LPCWSTR name, LPWSTR buffer, DWORD size) {
    if (std::wstring(name) != L"ProgramFiles" || preinstaller_fakes.program_files.empty()) {
        last_error = 203;  // ERROR_ENVVAR_NOT_FOUND
        return 0;
    }
    return CopyOut(preinstaller_fakes.program_files, buffer, size);
}

UINT GetWindowsDirectoryW(LPWSTR buffer, UINT size) {
    return CopyOut(kFakeWindowsDirectory, buffer, size);
}

BOOL CreateDirectoryW(LPCWSTR path, LPVOID) {
    if (preinstaller_fakes.files.count(path) != 0) {
        last_error = ERROR_ALREADY_EXISTS;
        return FALSE;
    }
    preinstaller_fakes.files[path] = FakeFile{true, ""};
    return TRUE;
}

BOOL CopyFileW(LPCWSTR from, LPCWSTR to, BOOL) {
    preinstaller_fakes.copies.push_back(std::make_pair(std::wstring(from), std::wstring(to)));
    const std::map<std::wstring, FakeFile>::const_iterator source =
        preinstaller_fakes.files.find(from);
    if (source == preinstaller_fakes.files.end()) {
        last_error = ERROR_FILE_NOT_FOUND;
        return FALSE;
    }
    preinstaller_fakes.files[to] = source->second;
    return TRUE;
}

// The running program cannot be deleted, as on Windows.
BOOL DeleteFileW(LPCWSTR path) {
    preinstaller_fakes.deleted.push_back(path);
    if (path == preinstaller_fakes.module_path) {
        last_error = ERROR_ACCESS_DENIED;
        return FALSE;
    }
    if (preinstaller_fakes.files.erase(path) == 0) {
        last_error = ERROR_FILE_NOT_FOUND;
        return FALSE;
    }
    return TRUE;
}

BOOL MoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags) {
    if (to != NULL || flags != MOVEFILE_DELAY_UNTIL_REBOOT) {
        last_error = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    preinstaller_fakes.delayed_deletes.push_back(from);
    return TRUE;
}

// Matches a name against a pattern whose only wildcard is '*', case ignored.
static bool Matches(const std::wstring& name, const std::wstring& pattern) {
    const size_t star = pattern.find(L'*');
    if (star == std::wstring::npos) {
        return name == pattern;
    }
    const std::wstring head = pattern.substr(0, star);
    const std::wstring tail = pattern.substr(star + 1);
    std::wstring folded = name;
    for (size_t i = 0; i < folded.size(); ++i) {
        folded[i] = static_cast<wchar_t>(towlower(folded[i]));
    }
    return folded.size() >= head.size() + tail.size() &&
           folded.compare(0, head.size(), head) == 0 &&
           folded.compare(folded.size() - tail.size(), tail.size(), tail) == 0;
}

static void Fill(const std::wstring& folder, const std::wstring& name, WIN32_FIND_DATAW* data) {
    const FakeFile& file = preinstaller_fakes.files[folder + name];
    *data = WIN32_FIND_DATAW();
    data->dwFileAttributes = file.is_folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    data->nFileSizeLow = static_cast<DWORD>(file.bytes.size());
    wcsncpy(data->cFileName, name.c_str(), MAX_PATH - 1);
}

HANDLE FindFirstFileW(LPCWSTR spec, WIN32_FIND_DATAW* data) {
    const std::wstring path = spec;
    const size_t slash = path.find_last_of(L'\\');
    const std::wstring folder = path.substr(0, slash + 1);
    OpenSearch search = {std::vector<std::wstring>(), 1};
    for (std::map<std::wstring, FakeFile>::const_iterator it = preinstaller_fakes.files.begin();
         it != preinstaller_fakes.files.end(); ++it) {
        if (it->first.compare(0, folder.size(), folder) == 0 &&
            it->first.find(L'\\', folder.size()) == std::wstring::npos &&
            Matches(it->first.substr(folder.size()), path.substr(slash + 1))) {
            search.names.push_back(it->first.substr(folder.size()));
        }
    }
    if (search.names.empty()) {
        last_error = ERROR_FILE_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    }
    Fill(folder, search.names[0], data);
    search.names.push_back(folder);  // the folder rides along at the end
    open_searches[next_handle] = search;
    return reinterpret_cast<HANDLE>(next_handle++);
}

BOOL FindNextFileW(HANDLE handle, WIN32_FIND_DATAW* data) {
    const std::map<intptr_t, OpenSearch>::iterator found =
        open_searches.find(reinterpret_cast<intptr_t>(handle));
    if (found == open_searches.end() || found->second.next + 1 >= found->second.names.size()) {
        last_error = ERROR_NO_MORE_ITEMS;
        return FALSE;
    }
    Fill(found->second.names.back(), found->second.names[found->second.next++], data);
    return TRUE;
}

BOOL FindClose(HANDLE handle) {
    return open_searches.erase(reinterpret_cast<intptr_t>(handle)) == 1;
}

BOOL SetupUninstallOEMInfW(PCWSTR inf, DWORD flags, LPVOID) {
    const UninstallCall call = {"SetupUninstallOEMInfW", inf, flags};
    preinstaller_fakes.uninstall_calls.push_back(call);
    if (preinstaller_fakes.uninstall_error != 0) {
        last_error = preinstaller_fakes.uninstall_error;
        return FALSE;
    }
    preinstaller_fakes.files.erase(std::wstring(kFakeWindowsDirectory) + L"\\INF\\" + inf);
    return TRUE;
}

INT MessageBoxW(HWND, LPCWSTR text, LPCWSTR caption, UINT type) {
    const MessageBoxCall call = {text, caption, type};
    preinstaller_fakes.message_boxes.push_back(call);
    return 1;  // IDOK
}

BOOL OpenProcessToken(HANDLE process, DWORD, HANDLE* token) {
    if (process != &fake_process_token) {
        return FALSE;
    }
    *token = &fake_token_token;
    return TRUE;
}

BOOL LookupPrivilegeValueW(LPCWSTR system, LPCWSTR name, LUID* luid) {
    if (system != NULL || std::wstring(name) != L"SeShutdownPrivilege") {
        return FALSE;
    }
    luid->LowPart = 19;  // SE_SHUTDOWN_PRIVILEGE
    luid->HighPart = 0;
    return TRUE;
}

BOOL AdjustTokenPrivileges(HANDLE token, BOOL disable_all, TOKEN_PRIVILEGES* state, DWORD,
                           TOKEN_PRIVILEGES*, DWORD*) {
    shutdown_privilege_enabled = token == &fake_token_token && !disable_all &&
                                 state->PrivilegeCount == 1 &&
                                 state->Privileges[0].Luid.LowPart == 19 &&
                                 state->Privileges[0].Attributes == SE_PRIVILEGE_ENABLED;
    return TRUE;
}

DWORD InitiateShutdownW(LPWSTR machine, LPWSTR, DWORD grace, DWORD flags, DWORD reason) {
    const ShutdownCall call = {machine == NULL, grace, flags, reason, shutdown_privilege_enabled};
    preinstaller_fakes.shutdown_calls.push_back(call);
    return preinstaller_fakes.shutdown_error;
}
