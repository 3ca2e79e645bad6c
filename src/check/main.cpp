// driversetup-check: says what the launcher will start from a distribution folder on each
// Windows, and why it would start nothing.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "check/distribution_check.h"
#include "check/report.h"
#include "check/this_machine.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

#ifdef _WIN32
#define DRIVERSETUP_CA_USAGE ""
#define DRIVERSETUP_CA_OPTION ""
#else
#define DRIVERSETUP_CA_USAGE " [--ca FILE]"
#define DRIVERSETUP_CA_OPTION \
    "  --ca FILE  also check that each catalog's signer leads to a root in FILE (PEM)\n"
#endif

// Short by design: the manual page, driversetup-check(1), says the rest.
static const char kUsage[] =
    "usage: driversetup-check [--strict]" DRIVERSETUP_CA_USAGE
    " [FOLDER]\n"
    "\n"
    "Checks a driver distribution folder (default: the current one) the way the launcher\n"
    "DriverSetup.exe will use it, for 32-bit and 64-bit Windows alike; one line per check.\n"
    "\n"
    "  --strict   treat warnings as errors (for release pipelines)\n" DRIVERSETUP_CA_OPTION
    "  --help     show this text\n"
    "  --version  show the version\n"
    "\n"
    "Exit codes:\n"
    "  0  the launcher would start the right program with a usable package on both Windows\n"
    "  1  some row would start nothing or the wrong thing (with --strict: or any warning)\n"
    "  2  a usage error, or FOLDER cannot be read\n"
    "\n"
    "More: man driversetup-check\n";

static bool ColourWanted() {
#ifdef _WIN32
    // Older consoles print escape codes literally; plain text is always readable.
    return false;
#else
    return isatty(fileno(stdout)) != 0 && getenv("NO_COLOR") == NULL;
#endif
}

static int UsageError(const char* problem, const char* detail) {
    fprintf(stderr, "driversetup-check: %s%s\n\n%s", problem, detail, kUsage);
    return kExitUsage;
}

int main(int argc, char* argv[]) {
    bool strict = false;
    const char* roots_file = NULL;
    const char* folder_argument = NULL;
    bool options_done = false;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (!options_done && strcmp(argument, "--") == 0) {
            options_done = true;
        } else if (!options_done && (strcmp(argument, "--help") == 0 ||
                                     strcmp(argument, "-h") == 0 || strcmp(argument, "/?") == 0)) {
            fputs(kUsage, stdout);
            return kExitReady;
        } else if (!options_done && strcmp(argument, "--version") == 0) {
            printf("driversetup-check %s\n", DRIVERSETUP_VERSION);
            return kExitReady;
        } else if (!options_done && strcmp(argument, "--strict") == 0) {
            strict = true;
#ifndef _WIN32
        } else if (!options_done && strcmp(argument, "--ca") == 0) {
            if (i + 1 == argc) {
                return UsageError("--ca needs a file", "");
            }
            roots_file = argv[++i];
#endif
        } else if (!options_done && argument[0] == '-' && argument[1] != '\0') {
            return UsageError("unknown option ", argument);
        } else if (folder_argument != NULL) {
            return UsageError("more than one folder given: ", argument);
        } else {
            folder_argument = argument;
        }
    }

    if (roots_file != NULL) {
        FILE* roots = fopen(roots_file, "rb");
        if (roots == NULL) {
            fprintf(stderr, "driversetup-check: %s: the roots file cannot be read\n", roots_file);
            return kExitUsage;
        }
        fclose(roots);
    }
    const fs::path folder = folder_argument != NULL ? fs::path(folder_argument) : fs::path(".");
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        fprintf(stderr, "driversetup-check: %s: %s\n", folder.u8string().c_str(),
                fs::exists(folder, error) ? "not a folder" : "no such folder");
        return kExitUsage;
    }
    fs::directory_iterator listing(folder, error);
    if (error) {
        fprintf(stderr, "driversetup-check: %s: cannot be read (%s)\n", folder.u8string().c_str(),
                error.message().c_str());
        return kExitUsage;
    }
    // "C:\dist" rather than "C:\dist\." when the folder is the working directory.
    fs::path absolute = fs::absolute(folder, error).lexically_normal();
    if (!absolute.has_filename() && absolute.has_relative_path()) {
        absolute = absolute.parent_path();
    }
    const std::string shown_folder = (error ? folder : absolute).u8string();
    printf("checking %s as the launcher's working directory\n", shown_folder.c_str());

    Findings findings = CheckDistribution(folder, roots_file);
    const bool colour = ColourWanted();
    for (size_t i = 0; i < findings.size(); ++i) {
        printf("%s\n", FormatFinding(findings[i], colour).c_str());
    }
#ifdef _WIN32
    Findings machine_findings;
    const MachineFacts facts = ReadThisMachine();
    const std::string machine_line = DescribeThisMachine(facts, shown_folder, &machine_findings);
    for (size_t i = 0; i < machine_findings.size(); ++i) {
        printf("%s\n", FormatFinding(machine_findings[i], colour).c_str());
    }
    findings.insert(findings.end(), machine_findings.begin(), machine_findings.end());
    printf("%s\n", machine_line.c_str());
    printf("%s\n", PredictThisMachine(facts, shown_folder).c_str());
    const std::string record_line = RecordOnThisMachine(facts, shown_folder);
    if (!record_line.empty()) {
        printf("%s\n", record_line.c_str());
    }
#endif
    printf("%s\n", FormatSummary(findings).c_str());
    return ExitCodeFor(findings, strict);
}
