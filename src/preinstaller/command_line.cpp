// Splits the pre-installer's command line into its action, its name and its switches.
#include "preinstaller/command_line.h"

#include <stddef.h>

enum SwitchKind {
    kSwitchInstall,
    kSwitchUninstall,
    kSwitchList,
    kSwitchQuiet,
    kSwitchNoRestart,
    kSwitchForceRestart
};

struct SwitchName {
    const wchar_t* name;  // after the '/', matched in any letter case
    SwitchKind kind;
};

static const SwitchName kSwitches[] = {
    {L"I", kSwitchInstall},
    {L"U", kSwitchUninstall},
    {L"L", kSwitchList},
    {L"Q", kSwitchQuiet},
    {L"norestart", kSwitchNoRestart},
    {L"forcerestart", kSwitchForceRestart},
};

static const wchar_t kUsage[] =
    L"; the pre-installer takes /I <path to the INF>, /U <oemNN.inf or path to the INF> or /L, "
    L"with /Q, /norestart or /forcerestart";

static bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

static const wchar_t* SkipBlanks(const wchar_t* p) {
    while (IsBlank(*p)) {
        ++p;
    }
    return p;
}

static wchar_t FoldAsciiWide(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
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

// Reads the path after /I or /U into *path and returns what follows it.
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

// The switch that starts at p ('/' and a name ending at a blank, a quote or the end), or
// NULL; *end is set past its name.
static const SwitchName* MatchSwitch(const wchar_t* p, const wchar_t** end) {
    if (*p != L'/') {
        return NULL;
    }
    for (size_t i = 0; i < sizeof kSwitches / sizeof kSwitches[0]; ++i) {
        const wchar_t* name = kSwitches[i].name;
        const wchar_t* q = p + 1;
        while (*name != L'\0' && FoldAsciiWide(*q) == FoldAsciiWide(*name)) {
            ++q;
            ++name;
        }
        if (*name == L'\0' && (*q == L'\0' || IsBlank(*q) || *q == L'"')) {
            *end = q;
            return &kSwitches[i];
        }
    }
    return NULL;
}

static ParsedCommandLine Failure(CommandLineResult result, const std::wstring& reason) {
    ParsedCommandLine parsed;
    parsed.result = result;
    parsed.action = kActionNone;
    parsed.quiet = false;
    parsed.no_restart = false;
    parsed.force_restart = false;
    parsed.reason = reason;
    return parsed;
}

static const PreinstallerAction kActionOf[] = {kActionInstall, kActionUninstall, kActionList};
static const wchar_t* const kNoNameReasons[] = {L"/I names no INF path",
                                                L"/U names no staged INF or INF path"};

ParsedCommandLine ParseCommandLine(const wchar_t* line) {
    ParsedCommandLine parsed = Failure(kCommandLineOk, L"");
    const wchar_t* p = SkipBlanks(SkipProgramToken(line));
    while (*p != L'\0') {
        const wchar_t* end = p;
        const SwitchName* named = MatchSwitch(p, &end);
        if (named == NULL) {
            end = p;
            while (*end != L'\0' && !IsBlank(*end)) {
                ++end;
            }
            return Failure(kCommandLineUnknown,
                           L"unknown argument '" + std::wstring(p, end) + L"'" + kUsage);
        }
        if (named->kind == kSwitchQuiet) {
            parsed.quiet = true;
        } else if (named->kind == kSwitchNoRestart) {
            parsed.no_restart = true;
        } else if (named->kind == kSwitchForceRestart) {
            parsed.force_restart = true;
        } else {
            if (parsed.action != kActionNone) {
                return Failure(kCommandLineSecondAction,
                               L"more than one of /I, /U and /L; give one action, once");
            }
            parsed.action = kActionOf[named->kind];
            if (named->kind != kSwitchList) {
                std::wstring path;
                const wchar_t* next = SkipBlanks(end);
                const wchar_t* after_switch = NULL;
                // A switch where the name should be means there is no name.
                end = MatchSwitch(next, &after_switch) != NULL ? next : ReadPath(next, &path);
                if (path.empty()) {
                    return Failure(kCommandLineNoInf, kNoNameReasons[named->kind]);
                }
                parsed.inf = path;
            }
        }
        p = SkipBlanks(end);
    }
    if (parsed.action == kActionNone) {
        return Failure(kCommandLineNoInf, std::wstring(L"no action on the command line") + kUsage);
    }
    if (parsed.no_restart && parsed.force_restart) {
        return Failure(kCommandLineConflict, L"/norestart and /forcerestart contradict each other");
    }
    if (parsed.action == kActionList && (parsed.no_restart || parsed.force_restart)) {
        return Failure(kCommandLineConflict,
                       L"/L restarts nothing: only /I and /U take "
                       L"/norestart and /forcerestart");
    }
    return parsed;
}
