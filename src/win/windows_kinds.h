// The two kinds of Windows that a distribution serves, and every name each goes by: the one
// description that the launcher's table, the INF reader, the checker and the pre-installer
// index by the same constants.
#ifndef DRIVERSETUP_WIN_WINDOWS_KINDS_H
#define DRIVERSETUP_WIN_WINDOWS_KINDS_H

// In the launcher's order: its probe answers 0 on 32-bit Windows and 1 where SysWow64 exists.
enum WindowsKind { kWindows32Bit, kWindows64Bit, kWindowsKindCount };

struct WindowsKindInfo {
    const char* windows;              // "64-bit Windows", as reports and logs say it
    const char* tag;                  // "64-bit", the report's short tag
    const char* build;                // "x64", the pre-installer build as its log names it
    const char* program;              // "64-bit (PE32+ AMD64)", what that build must be
    const char* preinstaller;         // "QZDrvPrep_x64.exe"
    const char* preinstaller_folder;  // "amd64", the pre-installer's folder under Drive
    const char* package_folder;       // "amd64", the driver package's folder under Drive\Tavix
    const char* inf_decoration;       // "NTamd64", what this Windows looks for in an INF
    bool needs_decorated_models;      // ignores an INF's undecorated models sections
    bool installs_only_signed;        // installs only signed driver packages
};

extern const WindowsKindInfo kWindowsKinds[kWindowsKindCount];

#endif
