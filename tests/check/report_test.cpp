// The report's exit code, summary and line format, and the "this machine" line, which the
// Wine test and release scripts read.
#include <gtest/gtest.h>

#include <string>

#include "check/report.h"
#include "check/this_machine.h"

namespace {

struct ExitCase {
    const char* name;
    Findings findings;
    bool strict;
    int expected;
};

static const Finding kOk = {kSeverityOk, kScope32Bit, "a", "fine"};
static const Finding kWarning = {kSeverityWarning, kScope64Bit, "b", "careful"};
static const Finding kError = {kSeverityError, kScope64Bit, "c", "broken"};

static const ExitCase kExitCases[] = {
    {"all ok", {kOk, kOk}, false, kExitReady},
    {"all ok, strict", {kOk}, true, kExitReady},
    {"a warning passes", {kOk, kWarning}, false, kExitReady},
    {"a warning fails when strict", {kOk, kWarning}, true, kExitFaults},
    {"an error fails", {kOk, kError}, false, kExitFaults},
    {"an error fails when strict", {kError, kWarning}, true, kExitFaults},
    {"nothing found passes", {}, false, kExitReady},
};

TEST(ExitCodeFor, Table) {
    for (const ExitCase& row : kExitCases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ExitCodeFor(row.findings, row.strict), row.expected);
    }
}

struct SummaryCase {
    const char* name;
    Findings findings;
    const char* expected;
};

static const Finding kError32 = {kSeverityError, kScope32Bit, "d", "gone"};
static const Finding kErrorBoth = {kSeverityError, kScopeBoth, "DriverSetup.exe", "wrong"};

static const SummaryCase kSummaryCases[] = {
    {"ready everywhere",
     {kOk, kOk, kWarning},
     "summary: 2 ok, 1 warning, 0 errors. 32-bit Windows: ready. 64-bit Windows: ready."},
    {"64-bit broken",
     {kOk, kError, kError},
     "summary: 1 ok, 0 warnings, 2 errors. 32-bit Windows: ready. 64-bit Windows: NOT ready (2 "
     "errors)."},
    {"an error for both counts on each",
     {kError32, kErrorBoth},
     "summary: 0 ok, 0 warnings, 2 errors. 32-bit Windows: NOT ready (2 errors). 64-bit "
     "Windows: NOT ready (1 error)."},
};

TEST(FormatSummary, Table) {
    for (const SummaryCase& row : kSummaryCases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(FormatSummary(row.findings), row.expected);
    }
}

TEST(FormatFinding, PlainAndColoured) {
    EXPECT_EQ(FormatFinding(kWarning, false), "warning [64-bit] b: careful");
    EXPECT_EQ(FormatFinding(kOk, false), "ok      [32-bit] a: fine");
    EXPECT_EQ(FormatFinding(kError, true), "\x1b[31merror\x1b[0m   [64-bit] c: broken");
}

struct MachineCase {
    const char* name;
    MachineFacts facts;
    const char* line;
    size_t warnings;
};

static const MachineCase kMachineCases[] = {
    {"64-bit Windows",
     {1, 0x8664},
     "this machine: the launcher would start Drive\\amd64\\QZDrvPrep_x64.exe with parameters "
     "\"/I Drive\\Tavix\\amd64\\quenusb.inf\" in folder C:\\dist",
     0},
    {"32-bit Windows",
     {0, 0x014c},
     "this machine: the launcher would start Drive\\i386\\QZDrvPrep_x86.exe with parameters "
     "\"/I Drive\\Tavix\\x86\\quenusb.inf\" in folder C:\\dist",
     0},
    {"Windows without IsWow64Process2",
     {0, 0},
     "this machine: the launcher would start Drive\\i386\\QZDrvPrep_x86.exe with parameters "
     "\"/I Drive\\Tavix\\x86\\quenusb.inf\" in folder C:\\dist",
     0},
    {"ARM64 takes the x64 row and is warned about",
     {1, 0xaa64},
     "this machine: the launcher would start Drive\\amd64\\QZDrvPrep_x64.exe with parameters "
     "\"/I Drive\\Tavix\\amd64\\quenusb.inf\" in folder C:\\dist",
     1},
};

TEST(DescribeThisMachine, Table) {
    for (const MachineCase& row : kMachineCases) {
        SCOPED_TRACE(row.name);
        Findings findings;
        EXPECT_EQ(DescribeThisMachine(row.facts, "C:\\dist", &findings), row.line);
        ASSERT_EQ(findings.size(), row.warnings);
        for (const Finding& finding : findings) {
            EXPECT_EQ(finding.severity, kSeverityWarning);
            EXPECT_NE(finding.text.find("do not install on ARM64"), std::string::npos);
        }
    }
}

}  // namespace
