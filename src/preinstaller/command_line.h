// The pre-installer's command line: one action ("/I <inf>", "/U <name>" or "/L") and the
// switches /Q, /norestart and /forcerestart, in any order and letter case, paths quoted or not.
#ifndef DRIVERSETUP_PREINSTALLER_COMMAND_LINE_H
#define DRIVERSETUP_PREINSTALLER_COMMAND_LINE_H

#include <string>

enum PreinstallerAction {
    kActionNone,
    kActionInstall,    // /I <path of the INF>: stage the package
    kActionUninstall,  // /U <oemNN.inf or path of the original INF>: remove it
    kActionList,       // /L: log the records of staged packages
};

enum CommandLineResult {
    kCommandLineOk,
    kCommandLineNoInf,         // no action, or /I or /U without a name
    kCommandLineUnknown,       // a switch or word that is none of the above
    kCommandLineSecondAction,  // two actions, or one twice
    kCommandLineConflict,      // /norestart with /forcerestart, or either with /L
};

struct ParsedCommandLine {
    CommandLineResult result;
    PreinstallerAction action;
    std::wstring inf;     // /I's path or /U's name as given, without quotes or outer blanks
    bool quiet;           // /Q: no message box
    bool no_restart;      // /norestart: a needed restart is only reported (3010)
    bool force_restart;   // /forcerestart: a needed restart is started (1641)
    std::wstring reason;  // what is wrong, for the log; empty when the result is ok
};

// Parses a whole command line as GetCommandLineW gives it, program token first. An unquoted
// path runs to the end of the line, or to a blank followed by '/', so that the launcher's
// unquoted "/I Drive\...\x.inf" and a path with blanks both work.
ParsedCommandLine ParseCommandLine(const wchar_t* line);

#endif
