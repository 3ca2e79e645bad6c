// Stand-in for the driver pre-installer: records how it was started, so the demo and the
// end-to-end tests can show what the launcher asked the shell for.
//
// It writes "QZDrvPrep-report.txt" into its working directory, one "key=value" line each:
// program, bits, command_line, arguments, working_directory, startf_useshowwindow,
// show_window, inf_path and inf_found; then, when the environment variable
// QZDRVPREP_HOLD_FILE names a file, it waits until that file exists and appends "finished=1",
// so a test can keep it running for as long as it needs, on however slow a machine.
#include <windows.h>

#include <stdio.h>
#include <string.h>

static const char kReportName[] = "QZDrvPrep-report.txt";
static const char kHoldVariable[] = "QZDRVPREP_HOLD_FILE";
// An hour is beyond any test's wait even under emulation, and a typo in the path cannot leave
// a process behind for longer.
static const unsigned long kMaxHoldMs = 3600000;
static const unsigned long kHoldPollMs = 50;
static const char kInfSwitch[] = "/I ";

// Returns the command line past the program token and the blanks after it, the way the C
// start-up code splits it: a quoted token ends at the closing quote, a bare one at a blank.
static const char* SkipProgramToken(const char* line) {
    if (*line == '"') {
        ++line;
        while (*line != '\0' && *line != '"') {
            ++line;
        }
        if (*line == '"') {
            ++line;
        }
    } else {
        while (*line != '\0' && *line != ' ' && *line != '\t') {
            ++line;
        }
    }
    while (*line == ' ' || *line == '\t') {
        ++line;
    }
    return line;
}

// Waits until the file named by QZDRVPREP_HOLD_FILE exists; returns 0 when none is named.
static int HoldUntilReleased() {
    char path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableA(kHoldVariable, path, sizeof path);
    if (length == 0 || length >= sizeof path) {
        return 0;
    }
    for (unsigned long waited = 0; waited < kMaxHoldMs; waited += kHoldPollMs) {
        if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) {
            break;
        }
        Sleep(kHoldPollMs);
    }
    return 1;
}

int main() {
    char program[MAX_PATH] = "";
    char directory[MAX_PATH] = "";
    GetModuleFileNameA(NULL, program, MAX_PATH);
    GetCurrentDirectoryA(MAX_PATH, directory);
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);

    const char* command_line = GetCommandLineA();
    const char* arguments = SkipProgramToken(command_line);
    const char* inf_path = "";
    if (strncmp(arguments, kInfSwitch, sizeof kInfSwitch - 1) == 0) {
        inf_path = arguments + sizeof kInfSwitch - 1;
    }
    const int inf_found =
        inf_path[0] != '\0' && GetFileAttributesA(inf_path) != INVALID_FILE_ATTRIBUTES;

    FILE* report = fopen(kReportName, "w");
    if (report == NULL) {
        return 1;
    }
    fprintf(report, "program=%s\n", program);
    fprintf(report, "bits=%u\n", static_cast<unsigned>(sizeof(void*) * 8));
    fprintf(report, "command_line=%s\n", command_line);
    fprintf(report, "arguments=%s\n", arguments);
    fprintf(report, "working_directory=%s\n", directory);
    fprintf(report, "startf_useshowwindow=%d\n",
            (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? 1 : 0);
    fprintf(report, "show_window=%u\n", static_cast<unsigned>(startup.wShowWindow));
    fprintf(report, "inf_path=%s\n", inf_path);
    fprintf(report, "inf_found=%d\n", inf_found);
    fclose(report);

    if (HoldUntilReleased()) {
        report = fopen(kReportName, "a");
        if (report == NULL) {
            return 1;
        }
        fprintf(report, "finished=1\n");
        fclose(report);
    }
    return 0;
}
