// The pre-installer's command line: "/I <inf>", the switch in any letter case, the path
// quoted or not.
#ifndef DRIVERSETUP_PREINSTALLER_COMMAND_LINE_H
#define DRIVERSETUP_PREINSTALLER_COMMAND_LINE_H

#include <string>

enum CommandLineResult {
    kCommandLineOk,
    kCommandLineNoInf,      // no /I, or /I without a path
    kCommandLineUnknown,    // a switch or word other than /I <path>
    kCommandLineSecondInf,  // /I given twice
};

struct ParsedCommandLine {
    CommandLineResult result;
    std::wstring inf;     // the INF path as given, without quotes or outer blanks
    std::wstring reason;  // what is wrong, for the log; empty when the result is ok
};

// Parses a whole command line as GetCommandLineW gives it, program token first. An unquoted
// path runs to the end of the line, or to a blank followed by '/', so that the launcher's
// unquoted "/I Drive\...\x.inf" and a path with blanks both work.
ParsedCommandLine ParseCommandLine(const wchar_t* line);

#endif
