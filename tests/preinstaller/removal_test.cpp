// The record that staging leaves, and removal (/U) and listing (/L) by it, against the fakes:
// the registry calls with their views, the kept copy, the removal calls, the exit codes, the
// message box and the restart.
#include <gtest/gtest.h>

#include <string>

#include "fake_preinstaller_api.h"
#include "preinstaller/preinstall.h"

namespace {

static const wchar_t kUninstall[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
static const wchar_t kStaged[] = L"C:\\Windows\\INF\\oem7.inf";
static const wchar_t kKeptCopy64[] = L"C:\\Program Files\\QZDrvPrep\\QZDrvPrep_x64.exe";
static const wchar_t kKeptCopy32[] = L"C:\\Program Files\\QZDrvPrep\\QZDrvPrep_x86.exe";
static const wchar_t kInfPath[] = L"C:\\dist\\Drive\\Tavix\\pkg\\quenusb.inf";
static const wchar_t kInstall[] = L"p.exe /I Drive\\Tavix\\pkg\\quenusb.inf";

static const char kInf[] =
    "[Version]\nSignature=\"$Windows NT$\"\nProvider=%Mfg%\n"
    "ClassGUID={88BAE032-5A81-49f0-BC3D-A4FF138216D6}\nDriverVer=12/01/2026,2.4.0.1\n"
    "[Manufacturer]\n%Mfg%=Models,NTx86,NTamd64\n"
    "[Models.NTx86]\n%Dev%=Inst, USB\\VID_F055&PID_0A11\n"
    "[Models.NTamd64]\n%Dev%=Inst, USB\\VID_F055&PID_0A11\n"
    "[Strings]\nMfg=\"Quenu Ltd\"\nDev=\"Quenu USB Interface\"\n";

static void LayPackage() {
    preinstaller_fakes.files[kInfPath] = FakeFile{false, kInf};
    preinstaller_fakes.files[L"C:\\dist\\Drive\\Tavix\\pkg\\quenusb.sys"] =
        FakeFile{false, std::string(3000, 'x')};
}

static std::wstring Wide(const std::string& bytes) {
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()),
                        bytes.size() / sizeof(wchar_t) - 1);
}

// The only record in that view: its key below Uninstall and its values.
static const FakeRegistryKey* OnlyRecord(FakeView view, std::wstring* key) {
    const std::wstring prefix = std::wstring(kUninstall) + L"\\QZDrvPrep_";
    const FakeRegistryKey* found = NULL;
    int count = 0;
    for (std::map<std::wstring, FakeRegistryKey>::const_iterator it =
             preinstaller_fakes.registry[view].begin();
         it != preinstaller_fakes.registry[view].end(); ++it) {
        if (it->first.compare(0, prefix.size(), prefix) == 0) {
            *key = it->first;
            found = &it->second;
            ++count;
        }
    }
    return count == 1 ? found : NULL;
}

class RemovalTest : public testing::Test {
protected:
    void SetUp() override {
        ResetPreinstallerFakes();
        LayPackage();
    }
};

// Each build records in its own view, with a copy of itself kept for removal.
struct RecordCase {
    const char* name;
    WindowsKind build;
    const wchar_t* module;
    FakeView view;
    REGSAM view_flag;
    const wchar_t* kept_copy;
};

static const RecordCase kRecordCases[] = {
    {"x64_native_view", kWindows64Bit, L"D:\\Drive\\amd64\\QZDrvPrep_x64.exe", kFakeView64,
     KEY_WOW64_64KEY, kKeptCopy64},
    {"x86_32_bit_view", kWindows32Bit, L"D:\\Drive\\i386\\QZDrvPrep_x86.exe", kFakeView32,
     KEY_WOW64_32KEY, kKeptCopy32},
};

void PrintTo(const RecordCase& c, std::ostream* os) {
    *os << c.name;
}

class RecordTest : public RemovalTest, public testing::WithParamInterface<RecordCase> {};

TEST_P(RecordTest, StagingWritesOneEntryThatRunsTheKeptCopy) {
    const RecordCase& c = GetParam();
    preinstaller_fakes.files.erase(preinstaller_fakes.module_path);
    preinstaller_fakes.module_path = c.module;
    preinstaller_fakes.files[c.module] = FakeFile{false, "MZ program"};
    ASSERT_EQ(RunPreinstaller(c.build, kInstall), 0u) << preinstaller_fakes.log;

    ASSERT_EQ(preinstaller_fakes.copies.size(), 1u);
    EXPECT_EQ(preinstaller_fakes.copies[0].first, c.module);
    EXPECT_EQ(preinstaller_fakes.copies[0].second, c.kept_copy);
    EXPECT_EQ(preinstaller_fakes.files[c.kept_copy].bytes, "MZ program");

    std::wstring key;
    const FakeRegistryKey* record = OnlyRecord(c.view, &key);
    ASSERT_NE(record, static_cast<const FakeRegistryKey*>(NULL)) << preinstaller_fakes.log;
    EXPECT_TRUE(
        preinstaller_fakes.registry[c.view == kFakeView32 ? kFakeView64 : kFakeView32].empty())
        << "the other view stays empty";
    ASSERT_FALSE(preinstaller_fakes.registry_calls.empty());
    const RegistryCall& create = preinstaller_fakes.registry_calls[0];
    EXPECT_EQ(create.function, "RegCreateKeyExW");
    EXPECT_EQ(create.key, key);
    EXPECT_EQ(create.access, static_cast<REGSAM>(KEY_WRITE | c.view_flag));

    const std::wstring uninstall = L"\"" + std::wstring(c.kept_copy) + L"\" /U oem7.inf";
    const std::pair<const wchar_t*, std::wstring> strings[] = {
        {L"DisplayName", L"Quenu USB Interface"},
        {L"Publisher", L"Quenu Ltd"},
        {L"DisplayVersion", L"2.4.0.1"},
        {L"InstallDate", L"20261209"},
        {L"StagedInf", L"oem7.inf"},
        {L"UninstallString", uninstall},
        {L"QuietUninstallString", uninstall + L" /Q"},
    };
    for (size_t i = 0; i < sizeof strings / sizeof strings[0]; ++i) {
        const FakeRegistryKey::const_iterator value = record->find(strings[i].first);
        ASSERT_NE(value, record->end()) << Wide(std::string()) << i;
        EXPECT_EQ(value->second.type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(Wide(value->second.bytes), strings[i].second);
    }
    // The INF and the 3,000-byte driver: 4 KiB, rounded up.
    const std::pair<const wchar_t*, DWORD> dwords[] = {
        {L"EstimatedSize", 4}, {L"NoModify", 1}, {L"NoRepair", 1}};
    for (size_t i = 0; i < sizeof dwords / sizeof dwords[0]; ++i) {
        const FakeRegistryKey::const_iterator value = record->find(dwords[i].first);
        ASSERT_NE(value, record->end());
        EXPECT_EQ(value->second.type, static_cast<DWORD>(REG_DWORD));
        DWORD number = 0;
        memcpy(&number, value->second.bytes.data(), sizeof number);
        EXPECT_EQ(number, dwords[i].second) << i;
    }
    EXPECT_EQ(OpenRegistryHandles(), 0u);
    EXPECT_EQ(OpenSearchHandles(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Builds, RecordTest, testing::ValuesIn(kRecordCases),
                         [](const testing::TestParamInfo<RecordCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(RemovalTest, StagingAgainKeepsOneEntry) {
    ASSERT_EQ(RunPreinstaller(kWindows64Bit, kInstall), 0u);
    ASSERT_EQ(RunPreinstaller(kWindows64Bit, kInstall), 0u);
    std::wstring key;
    EXPECT_NE(OnlyRecord(kFakeView64, &key), static_cast<const FakeRegistryKey*>(NULL));
}

// A record that cannot be written is logged; the driver is staged all the same.
struct RecordFailureCase {
    const char* name;
    LSTATUS registry_error;
    bool program_files_set;
    const char* log_part;
};

static const RecordFailureCase kRecordFailures[] = {
    {"registry_refuses", ERROR_ACCESS_DENIED, true,
     "| record | C:\\dist\\Drive\\Tavix\\pkg\\quenusb.inf | 5 | error 5. | could not write"},
    {"no_program_files", ERROR_SUCCESS, false,
     "| record | C:\\dist\\Drive\\Tavix\\pkg\\quenusb.inf | 203 | error 203. | no Programs and "
     "Features entry: could not keep a copy"},
};

void PrintTo(const RecordFailureCase& c, std::ostream* os) {
    *os << c.name;
}

class RecordFailureTest : public RemovalTest,
                          public testing::WithParamInterface<RecordFailureCase> {};

TEST_P(RecordFailureTest, IsLoggedAndTheInstallStillSucceeds) {
    const RecordFailureCase& c = GetParam();
    preinstaller_fakes.registry_write_error = c.registry_error;
    if (!c.program_files_set) {
        preinstaller_fakes.program_files.clear();
    }
    EXPECT_EQ(RunPreinstaller(kWindows64Bit, kInstall), 0u);
    EXPECT_NE(preinstaller_fakes.log.find(c.log_part), std::string::npos) << preinstaller_fakes.log;
    EXPECT_TRUE(preinstaller_fakes.registry[kFakeView64].empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, RecordFailureTest, testing::ValuesIn(kRecordFailures),
                         [](const testing::TestParamInfo<RecordFailureCase>& info) {
                             return std::string(info.param.name);
                         });

// /U after a staging: one exit code per outcome that Windows can give.
struct ExitCase {
    const char* name;
    const wchar_t* line;
    bool has_di_uninstall;
    DWORD uninstall_error;
    BOOL reboot;
    DWORD shutdown_error;
    DWORD exit_code;
    const char* function;  // the removal call made; "" for none
    bool record_gone;
};

static const ExitCase kExitCases[] = {
    {"removed_by_setupapi", L"p.exe /U oem7.inf /Q", false, 0, FALSE, 0, 0, "SetupUninstallOEMInfW",
     true},
    {"removed_by_newdev", L"p.exe /U oem7.inf /Q", true, 0, FALSE, 0, 0, "DiUninstallDriverW",
     true},
    {"removed_restart_needed", L"p.exe /U oem7.inf /Q", true, 0, TRUE, 0,
     ERROR_SUCCESS_REBOOT_REQUIRED, "DiUninstallDriverW", true},
    {"norestart_reports_it", L"p.exe /U oem7.inf /Q /norestart", true, 0, TRUE, 0,
     ERROR_SUCCESS_REBOOT_REQUIRED, "DiUninstallDriverW", true},
    {"forcerestart_starts_it", L"p.exe /forcerestart /U oem7.inf /Q", true, 0, TRUE, 0,
     ERROR_SUCCESS_REBOOT_INITIATED, "DiUninstallDriverW", true},
    {"forcerestart_refused", L"p.exe /U oem7.inf /Q /forcerestart", true, 0, TRUE,
     ERROR_ACCESS_DENIED, ERROR_SUCCESS_REBOOT_REQUIRED, "DiUninstallDriverW", true},
    {"still_in_use", L"p.exe /U oem7.inf /Q", false, ERROR_INF_IN_USE_BY_DEVICES, FALSE, 0,
     ERROR_INF_IN_USE_BY_DEVICES, "SetupUninstallOEMInfW", false},
    {"windows_refuses", L"p.exe /U oem7.inf /Q", true, ERROR_ACCESS_DENIED, FALSE, 0,
     ERROR_ACCESS_DENIED, "DiUninstallDriverW", false},
    {"never_staged", L"p.exe /U oem99.inf /Q", false, 0, FALSE, 0, ERROR_FILE_NOT_FOUND, "", false},
    {"setupapi_finds_nothing", L"p.exe /U oem7.inf /Q", false, ERROR_FILE_NOT_FOUND, FALSE, 0,
     ERROR_FILE_NOT_FOUND, "SetupUninstallOEMInfW", false},
};

void PrintTo(const ExitCase& c, std::ostream* os) {
    *os << c.name;
}

class RemovalExitTest : public RemovalTest, public testing::WithParamInterface<ExitCase> {};

TEST_P(RemovalExitTest, ExitCodeFollowsWindowsAnswers) {
    const ExitCase& c = GetParam();
    ASSERT_EQ(RunPreinstaller(kWindows64Bit, kInstall), 0u);
    preinstaller_fakes.has_di_uninstall = c.has_di_uninstall;
    preinstaller_fakes.uninstall_error = c.uninstall_error;
    preinstaller_fakes.uninstall_reboot = c.reboot;
    preinstaller_fakes.shutdown_error = c.shutdown_error;
    EXPECT_EQ(RunPreinstaller(kWindows64Bit, c.line), c.exit_code) << preinstaller_fakes.log;

    if (c.function[0] == '\0') {
        EXPECT_TRUE(preinstaller_fakes.uninstall_calls.empty());
    } else {
        ASSERT_EQ(preinstaller_fakes.uninstall_calls.size(), 1u);
        const UninstallCall& call = preinstaller_fakes.uninstall_calls[0];
        EXPECT_EQ(call.function, c.function);
        // newdev takes the full path; setupapi the name in Windows' INF folder. No flags: a
        // package in use is refused, not forced.
        EXPECT_EQ(call.inf, c.has_di_uninstall ? std::wstring(kStaged) : L"oem7.inf");
        EXPECT_EQ(call.flags, 0u);
    }
    std::wstring key;
    EXPECT_EQ(OnlyRecord(kFakeView64, &key) == NULL, c.record_gone);
    const bool forced = std::wstring(c.line).find(L"/forcerestart") != std::wstring::npos;
    ASSERT_EQ(preinstaller_fakes.shutdown_calls.size(), forced && c.reboot ? 1u : 0u);
    if (forced && c.reboot) {
        const ShutdownCall& shutdown = preinstaller_fakes.shutdown_calls[0];
        EXPECT_TRUE(shutdown.machine_is_null);
        EXPECT_EQ(shutdown.grace, 0u);
        EXPECT_EQ(shutdown.flags, static_cast<DWORD>(SHUTDOWN_RESTART));
        EXPECT_EQ(shutdown.reason,
                  static_cast<DWORD>(SHTDN_REASON_MAJOR_SOFTWARE | SHTDN_REASON_MINOR_INSTALLATION |
                                     SHTDN_REASON_FLAG_PLANNED));
        EXPECT_TRUE(shutdown.privilege_enabled);
    }
    EXPECT_TRUE(preinstaller_fakes.message_boxes.empty()) << "/Q shows nothing";
}

INSTANTIATE_TEST_SUITE_P(Cases, RemovalExitTest, testing::ValuesIn(kExitCases),
                         [](const testing::TestParamInfo<ExitCase>& info) {
                             return std::string(info.param.name);
                         });

// Names that name nothing that may be removed: a clear log line, an exit code, and no removal.
struct BadNameCase {
    const char* name;
    const wchar_t* line;
    DWORD exit_code;
    const char* log_part;
};

static const BadNameCase kBadNames[] = {
    {"no_name", L"p.exe /U", ERROR_INVALID_PARAMETER, "/U names no staged INF or INF path"},
    {"not_an_inf", L"p.exe /U C:\\dist\\notes.txt /Q", ERROR_INVALID_PARAMETER,
     "| find | C:\\dist\\notes.txt | 87 | error 87. | nothing removed: this is not an INF"},
    {"inf_without_version", L"p.exe /U C:\\dist\\other.inf /Q", ERROR_INVALID_PARAMETER,
     "nothing removed: this is not an INF (no [Version] section)"},
    {"staged_name_with_a_folder", L"p.exe /U ..\\oem7.inf /Q", ERROR_INVALID_PARAMETER,
     "a staged INF's name goes without a folder"},
    {"missing_original", L"p.exe /U C:\\dist\\gone.inf /Q", ERROR_FILE_NOT_FOUND,
     "nothing to remove: the INF is not there"},
    {"unstaged_original", L"p.exe /U C:\\dist\\Drive\\Tavix\\pkg\\quenusb.inf /Q",
     ERROR_FILE_NOT_FOUND, "no staged INF is this one, and no record names it"},
};

void PrintTo(const BadNameCase& c, std::ostream* os) {
    *os << c.name;
}

class BadNameTest : public RemovalTest, public testing::WithParamInterface<BadNameCase> {};

TEST_P(BadNameTest, RemovesNothing) {
    const BadNameCase& c = GetParam();
    preinstaller_fakes.files[L"C:\\dist\\notes.txt"] = FakeFile{false, "MZ not an inf"};
    preinstaller_fakes.files[L"C:\\dist\\other.inf"] = FakeFile{false, "[Strings]\nA=b\n"};
    preinstaller_fakes.files[kStaged] = FakeFile{false, "[Version]\nstaged before\n"};
    EXPECT_EQ(RunPreinstaller(kWindows64Bit, c.line), c.exit_code);
    EXPECT_NE(preinstaller_fakes.log.find(c.log_part), std::string::npos) << preinstaller_fakes.log;
    EXPECT_TRUE(preinstaller_fakes.uninstall_calls.empty());
    EXPECT_TRUE(preinstaller_fakes.deleted.empty());
    EXPECT_EQ(preinstaller_fakes.files.count(kStaged), 1u);
}

INSTANTIATE_TEST_SUITE_P(Cases, BadNameTest, testing::ValuesIn(kBadNames),
                         [](const testing::TestParamInfo<BadNameCase>& info) {
                             return std::string(info.param.name);
                         });

// How /U finds the staged INF, and what it does with the record and the kept copy.
struct TidyCase {
    const char* name;
    const wchar_t* line;
    bool keep_record;       // the record stays as staging left it
    bool run_from_copy;     // removal runs the kept copy, as Programs and Features does
    bool copy_gone;         // the kept copy was deleted by hand
    bool second_record;     // another package's record also runs the kept copy
    const char* log_part;   // how it was found
    const char* copy_step;  // what became of the kept copy
};

static const TidyCase kTidyCases[] = {
    {"from_programs_and_features", L"p.exe /U oem7.inf /Q", true, true, false, false,
     "| find | oem7.inf | 0 | error 0. | staged as oem7.inf",
     "deletes C:\\Program Files\\QZDrvPrep\\QZDrvPrep_x64.exe at the next restart"},
    {"original_inf_by_record", L"p.exe /U Drive\\Tavix\\pkg\\quenusb.inf /Q", true, false, false,
     false, "staged as oem7.inf, by its record",
     "deleted C:\\Program Files\\QZDrvPrep\\QZDrvPrep_x64.exe"},
    {"original_inf_by_content", L"p.exe /U Drive\\Tavix\\pkg\\quenusb.inf /Q", false, false, false,
     false, "staged as oem7.inf, found by its content", ""},
    {"kept_copy_gone_from_media", L"p.exe /U Drive\\Tavix\\pkg\\quenusb.inf /Q", true, false, true,
     false, "staged as oem7.inf, by its record", "QZDrvPrep_x64.exe is gone already"},
    {"copy_kept_for_another_record", L"p.exe /U oem7.inf /Q", true, false, false, true,
     "staged as oem7.inf", "another record uses it"},
    {"windows_folder_path", L"p.exe /U C:\\Windows\\INF\\oem7.inf /Q", true, false, false, false,
     "staged as oem7.inf", "deleted C:\\Program Files"},
};

void PrintTo(const TidyCase& c, std::ostream* os) {
    *os << c.name;
}

class TidyTest : public RemovalTest, public testing::WithParamInterface<TidyCase> {};

TEST_P(TidyTest, FindsTheStagedInfAndTidiesAfterIt) {
    const TidyCase& c = GetParam();
    ASSERT_EQ(RunPreinstaller(kWindows64Bit, kInstall), 0u);
    std::wstring key;
    ASSERT_NE(OnlyRecord(kFakeView64, &key), static_cast<const FakeRegistryKey*>(NULL));
    if (!c.keep_record) {
        preinstaller_fakes.registry[kFakeView64].erase(key);
    }
    if (c.copy_gone) {
        preinstaller_fakes.files.erase(kKeptCopy64);
    }
    if (c.run_from_copy) {
        preinstaller_fakes.module_path = kKeptCopy64;
    }
    if (c.second_record) {
        preinstaller_fakes.registry[kFakeView64][std::wstring(kUninstall) + L"\\QZDrvPrep_other"] =
            preinstaller_fakes.registry[kFakeView64][key];
    }
    preinstaller_fakes.registry_calls.clear();
    EXPECT_EQ(RunPreinstaller(kWindows64Bit, c.line), 0u) << preinstaller_fakes.log;
    EXPECT_NE(preinstaller_fakes.log.find(c.log_part), std::string::npos) << preinstaller_fakes.log;
    EXPECT_NE(preinstaller_fakes.log.find(c.copy_step), std::string::npos)
        << preinstaller_fakes.log;
    EXPECT_EQ(preinstaller_fakes.files.count(kStaged), 0u) << "removed from the INF folder";
    EXPECT_EQ(preinstaller_fakes.registry[kFakeView64].count(key), 0u) << "no entry left";
    std::vector<RegistryCall> deletes;
    for (size_t i = 0; i < preinstaller_fakes.registry_calls.size(); ++i) {
        if (preinstaller_fakes.registry_calls[i].function == "RegDeleteKeyExW") {
            deletes.push_back(preinstaller_fakes.registry_calls[i]);
        }
    }
    ASSERT_EQ(deletes.size(), c.keep_record ? 1u : 0u);
    if (c.keep_record) {
        EXPECT_EQ(deletes[0].key, key);
        EXPECT_EQ(deletes[0].access, static_cast<REGSAM>(KEY_WOW64_64KEY));
    }
    const bool copy_deleted = c.keep_record && !c.copy_gone && !c.second_record;
    EXPECT_EQ(preinstaller_fakes.delayed_deletes.size(), copy_deleted && c.run_from_copy ? 1u : 0u);
    EXPECT_EQ(preinstaller_fakes.files.count(kKeptCopy64), copy_deleted && !c.run_from_copy ? 0u
                                                           : c.copy_gone                    ? 0u
                                                                                            : 1u);
}

INSTANTIATE_TEST_SUITE_P(Cases, TidyTest, testing::ValuesIn(kTidyCases),
                         [](const testing::TestParamInfo<TidyCase>& info) {
                             return std::string(info.param.name);
                         });

// Without /Q, whoever clicked Uninstall sees one box with the outcome; /I never shows one.
struct BoxCase {
    const char* name;
    const wchar_t* line;
    DWORD uninstall_error;
    const wchar_t* text;
    UINT icon;
};

static const BoxCase kBoxCases[] = {
    {"removed", L"p.exe /U oem7.inf", 0, L"The driver package oem7.inf was removed.",
     MB_ICONINFORMATION},
    {"in_use", L"p.exe /U oem7.inf", ERROR_INF_IN_USE_BY_DEVICES,
     L"The driver package oem7.inf was not removed (SetupUninstallOEMInfW): a device still "
     L"uses it; unplug the device or remove it in Device Manager first.",
     MB_ICONERROR},
    {"never_staged", L"p.exe /U oem99.inf", 0,
     L"Nothing to remove: no driver package is staged as oem99.inf.", MB_ICONERROR},
};

void PrintTo(const BoxCase& c, std::ostream* os) {
    *os << c.name;
}

class MessageBoxTest : public RemovalTest, public testing::WithParamInterface<BoxCase> {};

TEST_P(MessageBoxTest, ShowsTheOutcomeOnce) {
    const BoxCase& c = GetParam();
    ASSERT_EQ(RunPreinstaller(kWindows64Bit, kInstall), 0u);
    EXPECT_TRUE(preinstaller_fakes.message_boxes.empty()) << "/I shows nothing";
    preinstaller_fakes.uninstall_error = c.uninstall_error;
    RunPreinstaller(kWindows64Bit, c.line);
    ASSERT_EQ(preinstaller_fakes.message_boxes.size(), 1u);
    EXPECT_EQ(preinstaller_fakes.message_boxes[0].text, c.text);
    EXPECT_EQ(preinstaller_fakes.message_boxes[0].caption, L"Driver removal");
    EXPECT_EQ(preinstaller_fakes.message_boxes[0].type, MB_OK | MB_SETFOREGROUND | c.icon);
}

INSTANTIATE_TEST_SUITE_P(Cases, MessageBoxTest, testing::ValuesIn(kBoxCases),
                         [](const testing::TestParamInfo<BoxCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(RemovalTest, ListLogsEachRecordAndWhetherItIsStillStaged) {
    ASSERT_EQ(RunPreinstaller(kWindows64Bit, kInstall), 0u);
    EXPECT_EQ(RunPreinstaller(kWindows64Bit, L"p.exe /L"), 0u);
    EXPECT_NE(preinstaller_fakes.log.find("| list | - | 0 | error 0. | Quenu USB Interface, "
                                          "version 2.4.0.1, staged as oem7.inf, in the driver "
                                          "store"),
              std::string::npos)
        << preinstaller_fakes.log;
    preinstaller_fakes.files.erase(kStaged);
    preinstaller_fakes.log.clear();
    EXPECT_EQ(RunPreinstaller(kWindows64Bit, L"p.exe /L"), 0u);
    EXPECT_NE(preinstaller_fakes.log.find("staged as oem7.inf, no longer in the driver store"),
              std::string::npos)
        << preinstaller_fakes.log;
    EXPECT_TRUE(preinstaller_fakes.message_boxes.empty());
}

TEST_F(RemovalTest, ListWithoutRecordsSaysSo) {
    EXPECT_EQ(RunPreinstaller(kWindows32Bit, L"p.exe /l"), 0u);
    EXPECT_NE(preinstaller_fakes.log.find("no package staged by this build is recorded"),
              std::string::npos);
}

}  // namespace
