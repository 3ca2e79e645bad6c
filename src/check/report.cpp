// Report lines, summary and exit code of the folder checker.
#include "check/report.h"

#include <stdio.h>

struct SeverityStyle {
    const char* word;
    const char* colour;  // ANSI SGR sequence, used only on a terminal
};

static const SeverityStyle kSeverityStyles[] = {
    {"ok", "\x1b[32m"},
    {"warning", "\x1b[33m"},
    {"error", "\x1b[31m"},
};
static const char kColourReset[] = "\x1b[0m";
// Wide enough for "warning" and one blank, so the scopes line up.
static const int kSeverityColumn = 8;

// The tags of the scopes that are not one kind of Windows, from kScopeBoth on.
static const char* const kWideScopeTags[] = {"[both]", "[this machine]"};

static std::string ScopeTag(Scope scope) {
    if (scope < kScopeBoth) {
        return std::string("[") + kWindowsKinds[scope].tag + "]";
    }
    return kWideScopeTags[scope - kScopeBoth];
}

std::string FormatFinding(const Finding& finding, bool colour) {
    const SeverityStyle& style = kSeverityStyles[finding.severity];
    char padded[16];
    snprintf(padded, sizeof padded, "%-*s", kSeverityColumn, style.word);
    std::string line = colour ? std::string(style.colour) + style.word + kColourReset +
                                    (padded + std::string(style.word).size())
                              : std::string(padded);
    return line + ScopeTag(finding.scope) + " " + finding.subject + ": " + finding.text;
}

static std::string Plural(size_t count, const char* one, const char* many) {
    char text[64];
    snprintf(text, sizeof text, "%zu %s", count, count == 1 ? one : many);
    return text;
}

std::string FormatSummary(const Findings& findings) {
    size_t counts[3] = {0, 0, 0};
    for (size_t i = 0; i < findings.size(); ++i) {
        ++counts[findings[i].severity];
    }
    std::string line = "summary: " + Plural(counts[kSeverityOk], "ok", "ok") + ", " +
                       Plural(counts[kSeverityWarning], "warning", "warnings") + ", " +
                       Plural(counts[kSeverityError], "error", "errors") + ".";
    for (int kind = 0; kind < kWindowsKindCount; ++kind) {
        size_t errors = 0;
        for (size_t i = 0; i < findings.size(); ++i) {
            const Finding& finding = findings[i];
            if (finding.severity == kSeverityError &&
                (finding.scope == static_cast<Scope>(kind) || finding.scope == kScopeBoth)) {
                ++errors;
            }
        }
        line += std::string(" ") + kWindowsKinds[kind].windows + ": ";
        line += errors == 0 ? "ready." : "NOT ready (" + Plural(errors, "error", "errors") + ").";
    }
    return line;
}

int ExitCodeFor(const Findings& findings, bool strict) {
    for (size_t i = 0; i < findings.size(); ++i) {
        if (findings[i].severity == kSeverityError ||
            (strict && findings[i].severity == kSeverityWarning)) {
            return kExitFaults;
        }
    }
    return kExitReady;
}
