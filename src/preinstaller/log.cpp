// Writes the pre-installer's log lines into the temp folder, never into the distribution.
#include "preinstaller/log.h"

#include <stdio.h>

#include "inf/wide_text.h"
#include "win/error_names.h"
#include "win/windows_kinds.h"

const wchar_t kLogFileName[] = L"QZDrvPrep.log";

// Windows' messages are short; a longer one is cut, never overrun.
static const DWORD kErrorTextChars = 512;
static const char kNoErrorText[] = "(no text for this code)";
static const char kLineEnd[] = "\r\n";

std::string FormatLogLine(const SYSTEMTIME& time, const LogContext& context, const char* step,
                          DWORD result, const std::string& error_text, const std::string& detail) {
    char stamp[64];
    snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u", time.wYear, time.wMonth,
             time.wDay, time.wHour, time.wMinute, time.wSecond);
    char code[16];
    snprintf(code, sizeof code, result > 0xffff ? "0x%08X" : "%u", static_cast<unsigned>(result));
    const std::string inf = context.inf.empty() ? "-" : Utf8FromWide(context.inf);
    std::string line = std::string(stamp) + " | " + kWindowsKinds[context.build].build + " | " +
                       step + " | " + inf + " | " + code + " | " + error_text;
    if (!detail.empty()) {
        line += " | " + detail;
    }
    return line;
}

std::string ErrorText(DWORD code) {
    // Setup's and WinVerifyTrust's codes by name: Windows' own text for them is often missing
    // or says little.
    const ErrorName* known = FindErrorName(code);
    if (known != NULL) {
        return std::string(known->name) + ": " + known->meaning;
    }
    wchar_t buffer[kErrorTextChars];
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        NULL, code, 0, buffer, kErrorTextChars, NULL);
    if (length == 0 || length >= kErrorTextChars) {
        return kNoErrorText;
    }
    std::wstring text(buffer, length);
    // One line: Windows ends its messages with a line break and may wrap long ones.
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' || text[i] == L'\n') {
            text[i] = L' ';
        }
    }
    while (!text.empty() && text[text.size() - 1] == L' ') {
        text.erase(text.size() - 1);
    }
    return text.empty() ? kNoErrorText : Utf8FromWide(text);
}

void LogStep(const LogContext& context, const char* step, DWORD result, const std::string& detail) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    const std::string line =
        FormatLogLine(now, context, step, result, ErrorText(result), detail) + kLineEnd;
    wchar_t folder[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, folder);
    if (length == 0 || length >= MAX_PATH) {
        return;
    }
    const std::wstring path = std::wstring(folder, length) + kLogFileName;
    // Append access: each write lands at the end, even with another run writing too.
    const HANDLE file =
        CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, NULL);
    CloseHandle(file);
}

Outcome OutcomeOf(DWORD code, const std::string& detail) {
    Outcome outcome = {code, detail};
    return outcome;
}

DWORD Logged(const LogContext& context, const char* step, const Outcome& outcome) {
    LogStep(context, step, outcome.code, outcome.detail);
    return outcome.code;
}
