// The files of a driver package that its catalog holds: the INF, and every file that a
// CopyFiles directive or a [SourceDisksFiles] section reaches, for every decoration.
#ifndef DRIVERSETUP_PACKAGE_FILE_SET_H
#define DRIVERSETUP_PACKAGE_FILE_SET_H

#include <stddef.h>

#include <string>
#include <vector>

#include "inf/inf_document.h"
#include "win/windows_kinds.h"

struct PackageFile {
    std::string relative;  // the path inside the package as the INF names it, with backslashes
    std::string name;      // the lower-cased destination name: the catalog's "File"
    size_t inf_line;       // where the INF names it; 0 for the INF itself
};

// One problem found while resolving the file set, with the INF line it comes from.
struct FileSetProblem {
    std::string file;
    size_t inf_line;
    std::string text;
};

struct FileSet {
    std::vector<PackageFile> files;  // the INF first, then in the order the INF names them
    std::vector<FileSetProblem> problems;
};

// Finds the package's files in the INF's text alone, without looking at the disk: the INF's
// own `inf_name` first. Each problem is a path that leaves the package folder (.., a drive
// letter, a UNC path), a CopyFiles section that the INF lacks (unless it includes system
// INFs), or a copied file that no [SourceDisksFiles] section lists (unless the INF names a
// LayoutFile or includes system INFs: then it is a system file and stays out), or a disk ID
// that no [SourceDisksNames] section for any platform lists. Each platform's files are looked
// up as Windows does: a file in [SourceDisksFiles.P] before [SourceDisksFiles], its disk in
// [SourceDisksNames.P] before [SourceDisksNames]. With a `platform` ("x86", "amd64") the set
// holds that platform's files; NULL holds every platform's that the INF decorates, and both
// kinds of Windows'.
FileSet FindPackageFiles(const InfDocument& document, const std::string& inf_name,
                         const char* platform);

// The catalog that Windows uses for a package on this kind of Windows: CatalogFile with this
// kind's decoration, then CatalogFile.NT, then CatalogFile, %strings% substituted; empty when
// none is named.
std::string CatalogFileFor(const InfDocument& document, WindowsKind kind);

// The file set's problems as lines, each naming the file and the INF line.
std::vector<std::string> DescribeProblems(const FileSet& set);

// "quenusb.inf (INF line 12)" or "quenusb.inf" for the INF itself.
std::string DescribeFile(const PackageFile& file);

// The file that [Version]'s CatalogFile names (undecorated first, then .NT, .NTamd64, .NTx86),
// %strings% substituted; empty when none does.
std::string NamedCatalog(const InfDocument& document);

// The INF's hardware IDs for the catalog's HWID attributes: from every models section that
// [Manufacturer] names (any decoration), lower-cased, in order of first appearance, each once.
std::vector<std::string> CatalogHardwareIds(const InfDocument& document);

#endif
