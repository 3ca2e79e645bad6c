// HasSysWow64Directory: the gate, the path that is tested, the folded answer, and the
// system-directory failures that must leave the buffer unread.
#include <gtest/gtest.h>

#include <string>

#include "win/fake_winapi.h"
#include "probe/probe.h"

namespace {

struct ProbeCase {
    const char* name;
    const char* system_directory;
    BOOL exists;              // what PathFileExistsA answers
    const char* tested_path;  // null: the file system must not be asked
    int expected;
};

static const ProbeCase kProbeCases[] = {
    {"mixed case passes the gate", "C:\\Windows\\System32", TRUE, "C:\\Windows\\SysWow64", 1},
    {"upper case passes the gate", "C:\\WINDOWS\\SYSTEM32", TRUE, "C:\\WINDOWS\\SysWow64", 1},
    {"32-bit Windows has no SysWow64", "C:\\WINDOWS\\system32", FALSE, "C:\\WINDOWS\\SysWow64", 0},
    {"any nonzero existence folds to 1", "C:\\WINDOWS\\system32", 42, "C:\\WINDOWS\\SysWow64", 1},
    {"negative existence folds to 1", "C:\\WINDOWS\\system32", -1, "C:\\WINDOWS\\SysWow64", 1},
    {"gate needs the backslash before WINDOWS", "C:\\MYWINDOWS\\System32", TRUE, NULL, 0},
    {"Windows in another folder", "C:\\WINNT\\system32", TRUE, NULL, 0},
    {"gate needs System32 right after WINDOWS", "C:\\WINDOWS\\System", TRUE, NULL, 0},
    {"first system32 in the whole path is replaced", "D:\\System32Data\\WINDOWS\\System32", TRUE,
     "D:\\SysWow64Data\\WINDOWS\\System32", 1},
    {"gate anywhere in the path", "E:\\vm\\windows\\system32\\", TRUE,
     "E:\\vm\\windows\\SysWow64\\", 1},
};

TEST(HasSysWow64Directory, Table) {
    for (const ProbeCase& row : kProbeCases) {
        SCOPED_TRACE(row.name);
        ResetFakes();
        SetSystemDirectory(row.system_directory);
        PathFileExistsA_fake.return_val = row.exists;

        EXPECT_EQ(HasSysWow64Directory(), row.expected);

        ASSERT_EQ(GetSystemDirectoryA_fake.call_count, 1);
        EXPECT_EQ(GetSystemDirectoryA_fake.arg_uSize[0], 260u);
        ASSERT_GE(StrStrIA_fake.call_count, 1);
        EXPECT_EQ(StrStrIA_fake.arg_pszFirst[0], row.system_directory);
        EXPECT_EQ(StrStrIA_fake.arg_pszSrch[0], "\\WINDOWS\\System32");
        if (row.tested_path == NULL) {
            EXPECT_EQ(StrStrIA_fake.call_count, 1);
            EXPECT_EQ(PathFileExistsA_fake.call_count, 0);
        } else {
            ASSERT_EQ(PathFileExistsA_fake.call_count, 1);
            EXPECT_EQ(PathFileExistsA_fake.arg_pszPath[0], row.tested_path);
        }
    }
}

// The longest path Windows can hand over in 260 bytes still goes through the whole test.
TEST(HasSysWow64Directory, LongestPathThatFits) {
    ResetFakes();
    const std::string tail = "\\WINDOWS\\System32";
    const std::string path = "C:\\" + std::string(259 - 3 - tail.size(), 'd') + tail;
    ASSERT_EQ(path.size(), 259u);
    SetSystemDirectory(path);
    PathFileExistsA_fake.return_val = TRUE;

    EXPECT_EQ(HasSysWow64Directory(), 1);
    ASSERT_EQ(PathFileExistsA_fake.call_count, 1);
    EXPECT_EQ(PathFileExistsA_fake.arg_pszPath[0], path.substr(0, 259 - 8) + "SysWow64");
}

struct ReadFailureCase {
    const char* name;
    std::string written;  // left in the buffer, and a gate match if it were read
    UINT returned;
};

TEST(HasSysWow64Directory, UnreadableSystemDirectoryAnswersZeroUnread) {
    const std::string too_long = "C:\\WINDOWS\\System32\\" + std::string(300, 'x');
    const ReadFailureCase cases[] = {
        {"the call fails", "C:\\WINDOWS\\System32", 0},
        {"the path needs more than 260 bytes", too_long, static_cast<UINT>(too_long.size() + 1)},
        {"the path needs exactly 260 bytes with its terminator", too_long, 260},
    };
    for (const ReadFailureCase& row : cases) {
        SCOPED_TRACE(row.name);
        ResetFakes();
        GetSystemDirectoryA_fake.written = row.written;
        GetSystemDirectoryA_fake.return_val = row.returned;
        PathFileExistsA_fake.return_val = TRUE;

        EXPECT_EQ(HasSysWow64Directory(), 0);
        EXPECT_EQ(StrStrIA_fake.call_count, 0);
        EXPECT_EQ(PathFileExistsA_fake.call_count, 0);
    }
}

// Nothing is cached: each call asks the platform again.
TEST(HasSysWow64Directory, EachCallRepeatsTheTest) {
    ResetFakes();
    SetSystemDirectory("C:\\WINDOWS\\system32");
    PathFileExistsA_fake.return_val = TRUE;
    EXPECT_EQ(HasSysWow64Directory(), 1);
    PathFileExistsA_fake.return_val = FALSE;
    EXPECT_EQ(HasSysWow64Directory(), 0);
    EXPECT_EQ(GetSystemDirectoryA_fake.call_count, 2);
    EXPECT_EQ(PathFileExistsA_fake.call_count, 2);
}

}  // namespace
