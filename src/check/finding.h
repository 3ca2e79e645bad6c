// One line of the folder checker's report: how bad, about what, and what to do.
#ifndef DRIVERSETUP_CHECK_FINDING_H
#define DRIVERSETUP_CHECK_FINDING_H

#include <string>
#include <vector>

#include "win/windows_kinds.h"

enum Severity { kSeverityOk, kSeverityWarning, kSeverityError };

// Which Windows a finding concerns: the row the launcher starts there, or both. A row's scope
// has the same value as its WindowsKind.
enum Scope {
    kScope32Bit = kWindows32Bit,
    kScope64Bit = kWindows64Bit,
    kScopeBoth = kWindowsKindCount,
    kScopeThisMachine,
};

struct Finding {
    Severity severity;
    Scope scope;
    // The path as the launcher names it, relative to the folder, with backslashes.
    std::string subject;
    // What was found and, for a warning or an error, what to do about it.
    std::string text;
};

typedef std::vector<Finding> Findings;

// Appends one finding.
inline void AddFinding(Findings* findings, Severity severity, Scope scope,
                       const std::string& subject, const std::string& text) {
    Finding finding = {severity, scope, subject, text};
    findings->push_back(finding);
}

#endif
