// The package's file set from INF text: paths through the disks' folders, renames, decorated
// sections, system files, and every path that would leave the package; and the targets'
// attribute values.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "package/file_set.h"
#include "catalog/os_targets.h"
#include "inf/inf_document.h"

namespace {

static const char kHead[] = "[Version]\nSignature=\"$Windows NT$\"\nCatalogFile=p.cat\n";

// Which files a set holds, as "relative>name" joined with '|', the INF first.
static std::string Files(const FileSet& set) {
    std::string out;
    for (size_t i = 0; i < set.files.size(); ++i) {
        out += (i == 0 ? "" : "|") + set.files[i].relative + ">" + set.files[i].name;
    }
    return out;
}

struct FileSetCase {
    const char* name;
    const char* inf;    // after kHead
    const char* files;  // as Files() shows them
};

static const FileSetCase kFileSets[] = {
    {"inf_alone", "", "p.inf>p.inf"},
    {"disk_folder_and_subdir", "[SourceDisksNames]\n1=d,,,\\drv\n[SourceDisksFiles]\nA.SYS=1,x64\n",
     "p.inf>p.inf|drv\\x64\\A.SYS>a.sys"},
    {"rename_by_copyfiles",
     "[SourceDisksNames]\n1=d\n[SourceDisksFiles]\nsrc.sys=1\n[I]\nCopyFiles=F\n[F]\nDst.sys,src."
     "sys\n",
     "p.inf>p.inf|src.sys>dst.sys"},
    {"single_file_copy",
     "[SourceDisksNames]\n1=d\n[SourceDisksFiles]\nOne.dll=1\n[I]\nCopyFiles=@one.dll\n",
     "p.inf>p.inf|One.dll>one.dll"},
    {"decorated_disks_per_architecture",
     "[SourceDisksNames.x86]\n1=d,,,x86\n[SourceDisksNames.amd64]\n1=d,,,amd64\n"
     "[SourceDisksFiles.x86]\na.sys=1\n[SourceDisksFiles.amd64]\na.sys=1\n",
     "p.inf>p.inf|x86\\a.sys>a.sys|amd64\\a.sys>a.sys"},
    {"undecorated_file_under_per_platform_disks_is_one_file_each",
     "[SourceDisksNames.x86]\n1=d,,,\\x86\n[SourceDisksNames.amd64]\n1=d,,,\\x64\n"
     "[SourceDisksFiles]\nWdfCoInstaller01011.dll=1\n",
     "p.inf>p.inf|x64\\WdfCoInstaller01011.dll>wdfcoinstaller01011.dll|x86\\WdfCoInstaller01011."
     "dll>wdfcoinstaller01011.dll"},
    {"decorated_disk_before_undecorated",
     "[SourceDisksNames]\n1=d,,,x86\n[SourceDisksNames.amd64]\n1=d,,,x64\n"
     "[SourceDisksFiles.x86]\na.sys=1\n[SourceDisksFiles.amd64]\na.sys=1\n",
     "p.inf>p.inf|x86\\a.sys>a.sys|x64\\a.sys>a.sys"},
    {"undecorated_line_every_platform_shadows_needs_no_disk",
     "[SourceDisksNames.x86]\n1=d,,,x86\n[SourceDisksFiles]\na.sys=9\n[SourceDisksFiles.x86]\n"
     "a.sys=1\n[SourceDisksFiles.amd64]\na.sys=1\n[SourceDisksNames.amd64]\n1=d,,,x64\n",
     "p.inf>p.inf|x86\\a.sys>a.sys|x64\\a.sys>a.sys"},
    {"one_file_listed_twice_is_one_member",
     "[SourceDisksNames]\n1=d\n[SourceDisksFiles]\na.sys=1\n[SourceDisksFiles.amd64]\na.sys=1\n",
     "p.inf>p.inf|a.sys>a.sys"},
    {"strings_in_paths",
     "[SourceDisksNames]\n1=%D%,,,%Dir%\n[SourceDisksFiles]\n%F%=1\n[Strings]\nD=\"x\"\n"
     "Dir=\"sub\"\nF=\"f.bin\"\n",
     "p.inf>p.inf|sub\\f.bin>f.bin"},
    {"system_file_with_layoutfile", "LayoutFile=layout.inf\n[I]\nCopyFiles=F\n[F]\nusbser.sys\n",
     "p.inf>p.inf"},
    {"section_of_an_included_inf", "[I]\nInclude=mdmcpq.inf\nCopyFiles=FakeModemCopyFileSection\n",
     "p.inf>p.inf"},
};

void PrintTo(const FileSetCase& c, std::ostream* os) {
    *os << c.name;
}

class FileSetTest : public testing::TestWithParam<FileSetCase> {};

TEST_P(FileSetTest, HoldsTheInfAndWhatItReaches) {
    const InfDocument document = ParseInfText(std::string(kHead) + GetParam().inf, kInfAnsiOrUtf8);
    const FileSet set = FindPackageFiles(document, "p.inf", NULL);
    EXPECT_EQ(Files(set), GetParam().files);
    for (const FileSetProblem& problem : set.problems) {
        ADD_FAILURE() << problem.file << " line " << problem.inf_line << ": " << problem.text;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, FileSetTest, testing::ValuesIn(kFileSets),
                         [](const testing::TestParamInfo<FileSetCase>& info) {
                             return std::string(info.param.name);
                         });

// INFs whose file set has one problem, named with the line it comes from.
struct ProblemCase {
    const char* name;
    const char* inf;  // after kHead, whose three lines come first
    size_t line;
    const char* text;
};

static const ProblemCase kProblems[] = {
    {"parent_folder_in_disk_path", "[SourceDisksNames]\n1=d,,,..\\up\n[SourceDisksFiles]\na=1\n", 5,
     "'..'"},
    {"drive_letter_in_subdir", "[SourceDisksNames]\n1=d\n[SourceDisksFiles]\na=1,C:\\Windows\n", 7,
     "drive letter"},
    {"unc_path", "[SourceDisksNames]\n1=d,,,\\\\server\\share\n[SourceDisksFiles]\na=1\n", 5,
     "UNC"},
    {"parent_folder_in_file_name", "[SourceDisksNames]\n1=d\n[SourceDisksFiles]\n..\\a=1\n", 7,
     "'..'"},
    {"unknown_disk", "[SourceDisksFiles]\na=9\n", 5, "disk '9'"},
    {"line_without_a_file_name", "[SourceDisksNames]\n1=d,,,\\drv\n[SourceDisksFiles]\n=1\n", 7,
     "names no file"},
    {"disk_no_platform_lists", "[SourceDisksNames.x86]\n1=d\n[SourceDisksFiles]\na=2\n", 7,
     "names disk '2', which no [SourceDisksNames] section lists"},
    {"copied_but_not_listed", "[I]\nCopyFiles=F\n[F]\nmissing.sys\n", 7, "no [SourceDisksFiles]"},
    {"copyfiles_section_missing", "[I]\nCopyFiles=Nowhere\n", 5, "lacks that section"},
};

void PrintTo(const ProblemCase& c, std::ostream* os) {
    *os << c.name;
}

class FileSetProblemTest : public testing::TestWithParam<ProblemCase> {};

TEST_P(FileSetProblemTest, NamesTheLine) {
    const InfDocument document = ParseInfText(std::string(kHead) + GetParam().inf, kInfAnsiOrUtf8);
    const FileSet set = FindPackageFiles(document, "p.inf", NULL);
    ASSERT_EQ(set.problems.size(), 1u) << Files(set);
    EXPECT_EQ(set.problems[0].inf_line, GetParam().line);
    EXPECT_NE(set.problems[0].text.find(GetParam().text), std::string::npos)
        << set.problems[0].text;
}

INSTANTIATE_TEST_SUITE_P(Cases, FileSetProblemTest, testing::ValuesIn(kProblems),
                         [](const testing::TestParamInfo<ProblemCase>& info) {
                             return std::string(info.param.name);
                         });

// One platform's files, as the pre-installer checks them: another platform's decorated list
// stays out, the undecorated one stays in, and a copy listed only for another platform is no
// problem.
static const char kTwoPlatforms[] =
    "[SourceDisksNames]\n1=d\n[SourceDisksFiles]\ncommon.bin=1\n[SourceDisksFiles.x86]\n"
    "x.sys=1\n[SourceDisksFiles.AMD64]\na.sys=1\n[I.NTamd64]\nCopyFiles=@a.sys\n[I.NTx86]\n"
    "CopyFiles=@x.sys\n";

struct PlatformCase {
    const char* name;
    const char* platform;
    const char* files;
};

static const PlatformCase kPlatforms[] = {
    {"every_platform", NULL, "p.inf>p.inf|common.bin>common.bin|x.sys>x.sys|a.sys>a.sys"},
    {"x86", "x86", "p.inf>p.inf|common.bin>common.bin|x.sys>x.sys"},
    {"amd64_in_any_case", "amd64", "p.inf>p.inf|common.bin>common.bin|a.sys>a.sys"},
};

TEST(FindPackageFiles, OnePlatformsFiles) {
    const InfDocument document = ParseInfText(std::string(kHead) + kTwoPlatforms, kInfAnsiOrUtf8);
    for (const PlatformCase& c : kPlatforms) {
        const FileSet set = FindPackageFiles(document, "p.inf", c.platform);
        EXPECT_EQ(Files(set), c.files) << c.name;
        EXPECT_TRUE(set.problems.empty()) << c.name << ": " << set.problems[0].text;
    }
}

// The catalog Windows uses: this kind's decoration, then .NT, then the plain key.
struct CatalogKeyCase {
    const char* name;
    const char* version;  // [Version] lines
    WindowsKind kind;
    const char* catalog;
};

static const CatalogKeyCase kCatalogKeys[] = {
    {"decorated_for_this_kind_first",
     "CatalogFile=all.cat\nCatalogFile.NT=nt.cat\nCatalogFile.NTamd64=a.cat\n", kWindows64Bit,
     "a.cat"},
    {"nt_before_plain", "CatalogFile=all.cat\nCatalogFile.NT=nt.cat\nCatalogFile.NTamd64=a.cat\n",
     kWindows32Bit, "nt.cat"},
    {"plain_alone", "CatalogFile=all.cat\n", kWindows64Bit, "all.cat"},
    {"other_kind_only", "CatalogFile.NTx86=x.cat\n", kWindows64Bit, ""},
    {"strings_substituted", "CatalogFile.ntx86=%C%\n[Strings]\nC=\"s.cat\"\n", kWindows32Bit,
     "s.cat"},
};

TEST(CatalogFileFor, WindowsOrderOfKeys) {
    for (const CatalogKeyCase& c : kCatalogKeys) {
        const InfDocument document = ParseInfText(
            std::string("[Version]\nSignature=\"$Windows NT$\"\n") + c.version, kInfAnsiOrUtf8);
        EXPECT_EQ(CatalogFileFor(document, c.kind), c.catalog) << c.name;
    }
}

TEST(CatalogHardwareIds, LowerCasedInFirstAppearanceAcrossDecorations) {
    const InfDocument document = ParseInfText(
        "[Manufacturer]\nM=Models,NTamd64\n[Models]\nD=I,USB\\VID_1,USB\\VID_2\n"
        "[Models.NTamd64]\nD=I,usb\\vid_2,USB\\VID_3\n[Other]\nD=I,USB\\VID_9\n",
        kInfAnsiOrUtf8);
    EXPECT_EQ(CatalogHardwareIds(document),
              (std::vector<std::string>{"usb\\vid_1", "usb\\vid_2", "usb\\vid_3"}));
}

// --os lists and the attribute values they give.
struct TargetCase {
    const char* name;
    const char* list;
    const char* os;
    const char* os_attr;
};

static const TargetCase kTargets[] = {
    {"fixed_order_whatever_the_input", "Server10_X64,10_x86,7_X64,10_X64",
     "7X64,_v100,_v100_X64,Server_v100_X64", "2:6.1,2:10.0"},
    {"every_version_once", "8_X86,8_X64,6_3_X64", "8X86,8X64,_v63_X64", "2:6.2,2:6.3"},
    {"duplicates_once", "10_X64,10_X64", "_v100_X64", "2:10.0"},
};

void PrintTo(const TargetCase& c, std::ostream* os) {
    *os << c.name;
}

class OsTargetsTest : public testing::TestWithParam<TargetCase> {};

TEST_P(OsTargetsTest, TokensAndVersionsInTableOrder) {
    std::vector<size_t> targets;
    std::string error;
    ASSERT_TRUE(ParseOsTargets(GetParam().list, &targets, &error)) << error;
    EXPECT_EQ(OsAttributeValue(targets), GetParam().os);
    EXPECT_EQ(OsAttrValue(targets), GetParam().os_attr);
}

INSTANTIATE_TEST_SUITE_P(Cases, OsTargetsTest, testing::ValuesIn(kTargets),
                         [](const testing::TestParamInfo<TargetCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(OsTargets, UnknownIdentifierIsNamed) {
    std::vector<size_t> targets;
    std::string error;
    EXPECT_FALSE(ParseOsTargets("10_X64,11_X64", &targets, &error));
    EXPECT_NE(error.find("'11_X64'"), std::string::npos) << error;
}

TEST(OsTargets, KindsInAnOsValueIncludingOlderTokens) {
    EXPECT_EQ(KindsInOsValue("_v100_X64,Server_v100_X64"),
              (std::vector<WindowsKind>{kWindows64Bit}));
    EXPECT_EQ(KindsInOsValue("10X86,7X64"),
              (std::vector<WindowsKind>{kWindows32Bit, kWindows64Bit}));
}

}  // namespace
