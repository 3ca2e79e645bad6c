// Binds the table of builds and the launcher's table to the one description of the two kinds
// of Windows: each row starts that kind's pre-installer build with that kind's driver package.
#include <gtest/gtest.h>

#include <string>

#include "launcher/preinstaller_variants.h"
#include "win/preinstaller_builds.h"
#include "win/windows_kinds.h"

namespace {

struct KindCase {
    const char* name;
    WindowsKind kind;
};

static const KindCase kKinds[] = {
    {"windows_32_bit", kWindows32Bit},
    {"windows_64_bit", kWindows64Bit},
};

// Names the row in test output instead of dumping its bytes.
void PrintTo(const KindCase& c, std::ostream* os) {
    *os << c.name;
}

class WindowsKindsTest : public testing::TestWithParam<KindCase> {};

TEST_P(WindowsKindsTest, LauncherRowStartsThisKindsBuildWithThisKindsPackage) {
    const WindowsKindInfo& info = kWindowsKinds[GetParam().kind];
    const PreinstallerBuild& build = kPreinstallerBuilds[GetParam().kind];
    const PreinstallerVariant& row = kPreinstallerVariants[GetParam().kind];
    EXPECT_EQ(std::string(build.program),
              std::string("Drive\\") + info.preinstaller_folder + "\\" + info.preinstaller);
    EXPECT_EQ(std::string(build.inf),
              std::string("Drive\\Tavix\\") + info.package_folder + "\\quenusb.inf");
    EXPECT_EQ(std::string(row.lpFile), build.program);
    EXPECT_EQ(std::string(row.lpParameters), std::string(PREINSTALLER_INF_SWITCH) + build.inf);
    EXPECT_EQ(std::string(info.preinstaller), std::string("QZDrvPrep_") + info.build + ".exe");
    EXPECT_EQ(std::string(info.windows), std::string(info.tag) + " Windows");
}

INSTANTIATE_TEST_SUITE_P(Kinds, WindowsKindsTest, testing::ValuesIn(kKinds),
                         [](const testing::TestParamInfo<KindCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
