// Splits the pre-installer's command line into its one switch and the INF path.
#include "preinstaller/command_line.h"

static bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

static const wchar_t* SkipBlanks(const wchar_t* p) {
    while (IsBlank(*p)) {
        ++p;
    }
    return p;
}

// Past the program token the way the C start-up code reads it: a quoted token ends at its
// closing quote, a bare one at the first blank.
static const wchar_t* SkipProgramToken(const wchar_t* p) {
    if (*p == L'"') {
        ++p;
        while (*p != L'\0' && *p != L'"') {
            ++p;
        }
        return *p == L'"' ? p + 1 : p;
    }
    while (*p != L'\0' && !IsBlank(*p)) {
        ++p;
    }
    return p;
}

// Reads the path after /I into *path and returns what follows it.
static const wchar_t* ReadPath(const wchar_t* p, std::wstring* path) {
    if (*p == L'"') {
        ++p;
        while (*p != L'\0' && *p != L'"') {
            path->push_back(*p++);
        }
        return *p == L'"' ? p + 1 : p;
    }
    while (*p != L'\0' && !(IsBlank(*p) && *SkipBlanks(p) == L'/')) {
        path->push_back(*p++);
    }
    while (!path->empty() && IsBlank((*path)[path->size() - 1])) {
        path->erase(path->size() - 1);
    }
    return p;
}

static ParsedCommandLine Failure(CommandLineResult result, const std::wstring& reason) {
    ParsedCommandLine parsed;
    parsed.result = result;
    parsed.reason = reason;
    return parsed;
}

ParsedCommandLine ParseCommandLine(const wchar_t* line) {
    ParsedCommandLine parsed;
    parsed.result = kCommandLineOk;
    bool have_inf = false;
    const wchar_t* p = SkipBlanks(SkipProgramToken(line));
    while (*p != L'\0') {
        const bool is_inf_switch = p[0] == L'/' && (p[1] == L'I' || p[1] == L'i') &&
                                   (p[2] == L'\0' || IsBlank(p[2]) || p[2] == L'"');
        if (!is_inf_switch) {
            const wchar_t* end = p;
            while (*end != L'\0' && !IsBlank(*end)) {
                ++end;
            }
            return Failure(kCommandLineUnknown, L"unknown argument '" + std::wstring(p, end) +
                                                    L"'; the only one is /I <path to the INF>");
        }
        if (have_inf) {
            return Failure(kCommandLineSecondInf, L"/I is given twice; name one INF");
        }
        std::wstring path;
        p = ReadPath(SkipBlanks(p + 2), &path);
        if (path.empty()) {
            return Failure(kCommandLineNoInf, L"/I names no INF path");
        }
        parsed.inf = path;
        have_inf = true;
        p = SkipBlanks(p);
    }
    if (!have_inf) {
        return Failure(kCommandLineNoInf, L"no /I <path to the INF> on the command line");
    }
    return parsed;
}
