// The pre-installer's log: one line per step, appended to QZDrvPrep.log in the temp folder.
#ifndef DRIVERSETUP_PREINSTALLER_LOG_H
#define DRIVERSETUP_PREINSTALLER_LOG_H

#include <string>

#include "win/winapi_seam.h"
#include "win/windows_kinds.h"

extern const wchar_t kLogFileName[];

// What every line of one run names: the build and the INF (as given, then as resolved).
struct LogContext {
    WindowsKind build;
    std::wstring inf;
};

// One line, without its line end:
// "2026-12-09 10:11:12 | x64 | stage | C:\...\x.inf | 0 | <error text> | <detail>".
// Results above 0xFFFF (setup's own errors) are shown in hexadecimal.
std::string FormatLogLine(const SYSTEMTIME& time, const LogContext& context, const char* step,
                          DWORD result, const std::string& error_text, const std::string& detail);

// "NAME: meaning" for Setup's and WinVerifyTrust's codes that a driver install meets, else
// Windows' text for the code, on one line, or "(no text for this code)".
std::string ErrorText(DWORD code);

// Appends one line for `step`. A log that cannot be written is passed over: the work goes on.
void LogStep(const LogContext& context, const char* step, DWORD result, const std::string& detail);

// The result of one step: its code and what the log says beside it.
struct Outcome {
    DWORD code;
    std::string detail;
};

Outcome OutcomeOf(DWORD code, const std::string& detail);

// Logs the step's outcome and passes its code on.
DWORD Logged(const LogContext& context, const char* step, const Outcome& outcome);

#endif
