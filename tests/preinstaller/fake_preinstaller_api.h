// Recording fakes for the pre-installer's Windows calls: an in-memory file system with a log,
// and the driver calls with configurable answers. ResetPreinstallerFakes() before every case.
#ifndef DRIVERSETUP_TESTS_FAKE_PREINSTALLER_API_H
#define DRIVERSETUP_TESTS_FAKE_PREINSTALLER_API_H

#include <map>
#include <string>
#include <vector>

#include "win/winapi_seam.h"

// Relative paths resolve against this folder, as if it were the working directory.
extern const wchar_t kFakeWorkingDirectory[];
extern const wchar_t kFakeTempDirectory[];

struct FakeFile {
    bool is_folder;
    std::string bytes;
};

struct SetupCopyOEMInfWCall {
    std::wstring source;
    bool media_location_is_null;
    DWORD media_type;
    DWORD copy_style;
};

struct UpdateDriverCall {
    bool parent_is_null;
    std::wstring hardware_id;
    std::wstring inf;
    DWORD flags;
};

// What UpdateDriverForPlugAndPlayDevicesW answers for one hardware ID.
struct UpdateAnswer {
    DWORD error;  // 0: success
    BOOL reboot;
};

// One WinVerifyTrust call, as asked.
struct WinVerifyTrustCall {
    bool is_driver_action;  // DRIVER_ACTION_VERIFY
    bool has_driver_info;   // a DRIVER_VER_INFO of its own size as policy data
    DWORD ui_choice;
    DWORD union_choice;
    DWORD state_action;
    std::wstring catalog;
    std::wstring member_tag;
    std::wstring member_file;
};

// One CertOpenStore call, and the certificate asked for in that store.
struct CertStoreCall {
    bool is_system_store;  // CERT_STORE_PROV_SYSTEM_W
    DWORD flags;
    std::wstring name;
    DWORD find_type;
    std::string issuer;  // the CERT_INFO's issuer, as passed
    std::string serial;  // the CERT_INFO's serial number, as passed (little-endian)
};

// A registry value as written.
struct FakeRegistryValue {
    DWORD type;
    std::string bytes;
};

// One registry call that opens, makes or deletes a key: the key below HKLM and the access.
struct RegistryCall {
    std::string function;
    std::wstring key;
    REGSAM access;
};

// One removal call: which function, the INF it got and its flags.
struct UninstallCall {
    std::string function;  // "DiUninstallDriverW" or "SetupUninstallOEMInfW"
    std::wstring inf;
    DWORD flags;
};

struct MessageBoxCall {
    std::wstring text;
    std::wstring caption;
    UINT type;
};

struct ShutdownCall {
    bool machine_is_null;
    DWORD grace;
    DWORD flags;
    DWORD reason;
    bool privilege_enabled;  // SeShutdownPrivilege was enabled before the call
};

// The registry's two views: the 32-bit one and the native 64-bit one.
enum FakeView { kFakeView32, kFakeView64, kFakeViewCount };

typedef std::map<std::wstring, FakeRegistryValue> FakeRegistryKey;

struct PreinstallerFakes {
    std::map<std::wstring, FakeFile> files;  // by full path
    std::string log;                         // what was appended to the log file
    std::vector<std::wstring> log_paths;     // each path the log was opened at
    bool log_fails;                          // the log cannot be opened
    BOOL is_wow64;
    int is_wow64_calls;
    DWORD copy_error;        // 0: SetupCopyOEMInfW succeeds
    std::wstring stored_as;  // the name it reports on success
    std::vector<SetupCopyOEMInfWCall> copy_calls;
    std::map<std::wstring, UpdateAnswer> update_answers;  // missing: ERROR_NO_SUCH_DEVINST
    std::vector<UpdateDriverCall> update_calls;
    std::vector<std::string> sequence;  // names of the driver calls, in order
    size_t read_fails_at;               // ReadFile fails once a file is read this far
    LONG trust_answer;                  // what WinVerifyTrust answers
    std::vector<WinVerifyTrustCall> trust_calls;
    bool publisher_trusted;  // Trusted Publishers holds the certificate asked for
    std::vector<CertStoreCall> store_calls;
    int open_stores;        // stores opened and not closed
    int open_certificates;  // certificate contexts handed out and not freed
    // The record: keys by path below HKLM, per view.
    std::map<std::wstring, FakeRegistryKey> registry[kFakeViewCount];
    std::vector<RegistryCall> registry_calls;
    LSTATUS registry_write_error;               // RegCreateKeyExW's answer when not 0
    std::wstring module_path;                   // the running program
    std::wstring program_files;                 // %ProgramFiles%; empty: not set
    std::vector<std::wstring> deleted;          // DeleteFileW, in order
    std::vector<std::wstring> delayed_deletes;  // MoveFileExW to nothing at restart
    std::vector<std::pair<std::wstring, std::wstring> > copies;  // CopyFileW: from, to
    // Removal: whether newdev has DiUninstallDriverW, and what the removal answers.
    bool has_di_uninstall;
    DWORD uninstall_error;  // 0: removed
    BOOL uninstall_reboot;
    std::vector<UninstallCall> uninstall_calls;
    std::vector<MessageBoxCall> message_boxes;
    DWORD shutdown_error;  // InitiateShutdownW's answer
    std::vector<ShutdownCall> shutdown_calls;
};

extern PreinstallerFakes preinstaller_fakes;

void ResetPreinstallerFakes();

// How many file handles are open now.
size_t OpenFileHandles();

// How many search and registry handles are open now.
size_t OpenSearchHandles();
size_t OpenRegistryHandles();

extern const wchar_t kFakeWindowsDirectory[];

#endif
