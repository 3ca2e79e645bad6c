// The package's file set from the INF's sections: [SourceDisksNames], [SourceDisksFiles] and
// the CopyFiles sections, of every decoration.
#include "package/file_set.h"

#include <algorithm>
#include <set>

#include "inf/ascii.h"
#include "inf/inf_models.h"

static const char kSourceDisksNames[] = "sourcedisksnames";
static const char kSourceDisksFiles[] = "sourcedisksfiles";
// [SourceDisksNames] values: description, tag file, unused, path.
static const size_t kDiskPathValue = 3;
// [SourceDisksFiles] values: disk ID, subdirectory, size.
static const size_t kDiskIdValue = 0;
static const size_t kSubdirValue = 1;
// A file-list line: destination name, source name.
static const size_t kDestinationValue = 0;
static const size_t kSourceValue = 1;

// The decoration of a section named base or base.decoration, folded: "" for none, and false
// when the section has another name.
static bool DecorationOf(const std::string& section, const char* base, std::string* decoration) {
    const std::string folded = FoldAscii(section);
    const std::string prefix = base;
    if (folded == prefix) {
        decoration->clear();
        return true;
    }
    if (folded.compare(0, prefix.size() + 1, prefix + ".") == 0) {
        *decoration = folded.substr(prefix.size() + 1);
        return true;
    }
    return false;
}

// Splits a path at backslashes and slashes, dropping empty and "." parts. Returns false, with
// the reason, for a path that leaves the package: a drive letter or stream (':'), a UNC path,
// or a ".." part.
static bool SplitPackagePath(const std::string& path, std::vector<std::string>* parts,
                             std::string* reason) {
    if (path.find(':') != std::string::npos) {
        *reason = "names a drive letter or a stream (':'), which leaves the package folder";
        return false;
    }
    if (path.size() >= 2 && (path[0] == '\\' || path[0] == '/') &&
        (path[1] == '\\' || path[1] == '/')) {
        *reason = "is a UNC path (\\\\server\\...), which leaves the package folder";
        return false;
    }
    size_t begin = 0;
    while (begin <= path.size()) {
        size_t end = path.find_first_of("\\/", begin);
        if (end == std::string::npos) {
            end = path.size();
        }
        const std::string part = path.substr(begin, end - begin);
        if (part == "..") {
            *reason = "goes up with '..', which leaves the package folder";
            return false;
        }
        if (!part.empty() && part != ".") {
            parts->push_back(part);
        }
        begin = end + 1;
    }
    return true;
}

static std::string JoinParts(const std::vector<std::string>& parts) {
    std::string out;
    for (size_t i = 0; i < parts.size(); ++i) {
        out += (i == 0 ? "" : "\\") + parts[i];
    }
    return out;
}

// The line of disk `disk_id` for `platform`: in [SourceDisksNames.platform] first, then in
// [SourceDisksNames]. Null when neither lists the disk.
static const InfLine* FindDisk(const InfDocument& document, const std::string& platform,
                               const std::string& disk_id) {
    const std::string names[] = {std::string(kSourceDisksNames) + "." + platform,
                                 kSourceDisksNames};
    for (size_t n = platform.empty() ? 1 : 0; n < 2; ++n) {
        const InfSection* section = FindInfSection(document, names[n]);
        for (size_t l = 0; section != NULL && l < section->lines.size(); ++l) {
            const InfLine& line = section->lines[l];
            if (line.has_key && ExpandInfString(document, line.key) == disk_id) {
                return &line;
            }
        }
    }
    return NULL;
}

// Whether any line has `key` (case ignored), in `section` or, when it is empty, anywhere.
static bool HasKey(const InfDocument& document, const std::string& section, const char* key) {
    for (size_t s = 0; s < document.sections.size(); ++s) {
        if (!section.empty() && !EqualsNoCase(document.sections[s].name, section)) {
            continue;
        }
        for (size_t l = 0; l < document.sections[s].lines.size(); ++l) {
            const InfLine& line = document.sections[s].lines[l];
            if (line.has_key && EqualsNoCase(line.key, key)) {
                return true;
            }
        }
    }
    return false;
}

// One [SourceDisksFiles] entry for one platform: where the file is, and the name it is
// copied under.
struct SourceEntry {
    std::string source_folded;
    PackageFile file;
    bool copied;
    std::string platform;
};

static bool NamedEarlier(const SourceEntry& a, const SourceEntry& b) {
    return a.file.inf_line < b.file.inf_line;
}

static void AddProblem(FileSet* set, const std::string& file, size_t line,
                       const std::string& text) {
    FileSetProblem problem = {file, line, text};
    set->problems.push_back(problem);
}

// The file a [SourceDisksFiles] line names, %strings% substituted.
static std::string SourceName(const InfDocument& document, const InfLine& line) {
    return ExpandInfString(document, line.has_key ? line.key : line.values[0]);
}

// The platforms a catalog covers: both kinds of Windows, every decoration of a
// [SourceDisksFiles.*] or [SourceDisksNames.*] section, and `asked` when given.
static std::vector<std::string> PlatformsOf(const InfDocument& document, const char* asked) {
    std::set<std::string> platforms;
    for (size_t k = 0; k < kWindowsKindCount; ++k) {
        platforms.insert(FoldAscii(kWindowsKinds[k].inf_decoration + 2));
    }
    if (asked != NULL) {
        platforms.insert(FoldAscii(asked));
    }
    for (size_t s = 0; s < document.sections.size(); ++s) {
        std::string decoration;
        if ((DecorationOf(document.sections[s].name, kSourceDisksFiles, &decoration) ||
             DecorationOf(document.sections[s].name, kSourceDisksNames, &decoration)) &&
            !decoration.empty()) {
            platforms.insert(decoration);
        }
    }
    return std::vector<std::string>(platforms.begin(), platforms.end());
}

// The [SourceDisksFiles] lines that serve `platform`: those of [SourceDisksFiles.platform],
// then those of [SourceDisksFiles] for files that the decorated section does not list.
static std::vector<const InfLine*> FileLinesFor(const InfDocument& document,
                                                const std::string& platform) {
    const InfSection* decorated =
        FindInfSection(document, std::string(kSourceDisksFiles) + "." + platform);
    const InfSection* plain = FindInfSection(document, kSourceDisksFiles);
    std::vector<const InfLine*> lines;
    std::set<std::string> listed;
    for (size_t l = 0; decorated != NULL && l < decorated->lines.size(); ++l) {
        lines.push_back(&decorated->lines[l]);
        listed.insert(FoldAscii(SourceName(document, decorated->lines[l])));
    }
    for (size_t l = 0; plain != NULL && l < plain->lines.size(); ++l) {
        if (listed.count(FoldAscii(SourceName(document, plain->lines[l]))) == 0) {
            lines.push_back(&plain->lines[l]);
        }
    }
    return lines;
}

// Resolves one [SourceDisksFiles] line for `platform` through its disk's path. False when no
// names section for the platform lists the disk; an entry that leaves the package folder adds
// its problem (once, however many platforms reach it) and no entry.
static bool ResolveEntry(const InfDocument& document, const InfLine& line,
                         const std::string& platform, std::vector<SourceEntry>* entries,
                         std::set<std::string>* reported, FileSet* set) {
    const std::string name = SourceName(document, line);
    const std::string disk_id = line.has_key && line.values.size() > kDiskIdValue
                                    ? ExpandInfString(document, line.values[kDiskIdValue])
                                    : std::string();
    const InfLine* disk = FindDisk(document, platform, disk_id);
    if (disk == NULL) {
        return false;
    }
    const std::string disk_path = disk->values.size() > kDiskPathValue
                                      ? ExpandInfString(document, disk->values[kDiskPathValue])
                                      : std::string();
    const std::string subdir = line.values.size() > kSubdirValue
                                   ? ExpandInfString(document, line.values[kSubdirValue])
                                   : std::string();
    std::vector<std::string> parts;
    const char* const pieces[] = {disk_path.c_str(), subdir.c_str(), name.c_str()};
    const size_t kNamePiece = 2;
    const size_t piece_lines[] = {disk->line_number, line.line_number, line.line_number};
    for (size_t p = 0; p < 3; ++p) {
        std::string reason;
        const size_t parts_before = parts.size();
        if (!SplitPackagePath(pieces[p], &parts, &reason)) {
            const std::string text = "its path '" + std::string(pieces[p]) + "' " + reason;
            if (reported->insert(std::to_string(piece_lines[p]) + text).second) {
                AddProblem(set, name, piece_lines[p], text);
            }
            return true;
        }
        // A line without a file name (an empty key, or "." alone) names no file to hash.
        if (p == kNamePiece && parts.size() == parts_before) {
            const std::string text = "names no file: the line has no file name";
            if (reported->insert(std::to_string(line.line_number) + text).second) {
                AddProblem(set, name, line.line_number, text);
            }
            return true;
        }
    }
    SourceEntry entry;
    entry.source_folded = FoldAscii(name);
    entry.file.relative = JoinParts(parts);
    entry.file.name = FoldAscii(name);
    entry.file.inf_line = line.line_number;
    entry.copied = false;
    entry.platform = platform;
    entries->push_back(entry);
    return true;
}

// Reads the [SourceDisksFiles] entries of every platform, each looked up as Windows does for
// that platform: decorated sections first. A line whose disk no platform's names section
// lists is a problem.
static std::vector<SourceEntry> ReadSourceFiles(const InfDocument& document, const char* asked,
                                                FileSet* set) {
    std::vector<SourceEntry> entries;
    // Lines that some platform looked up, and those whose disk some platform found; a line
    // that every platform's decorated section shadows is looked up by none.
    std::set<const InfLine*> looked_up;
    std::set<const InfLine*> resolved;
    std::set<std::string> reported;
    const std::vector<std::string> platforms = PlatformsOf(document, asked);
    for (size_t p = 0; p < platforms.size(); ++p) {
        const std::vector<const InfLine*> lines = FileLinesFor(document, platforms[p]);
        for (size_t l = 0; l < lines.size(); ++l) {
            looked_up.insert(lines[l]);
            if (ResolveEntry(document, *lines[l], platforms[p], &entries, &reported, set)) {
                resolved.insert(lines[l]);
            }
        }
    }
    for (size_t s = 0; s < document.sections.size(); ++s) {
        std::string decoration;
        if (!DecorationOf(document.sections[s].name, kSourceDisksFiles, &decoration)) {
            continue;
        }
        const std::vector<InfLine>& lines = document.sections[s].lines;
        for (size_t l = 0; l < lines.size(); ++l) {
            if (looked_up.count(&lines[l]) == 0 || resolved.count(&lines[l]) != 0) {
                continue;
            }
            const std::string disk_id = lines[l].has_key && !lines[l].values.empty()
                                            ? ExpandInfString(document, lines[l].values[0])
                                            : std::string();
            AddProblem(set, SourceName(document, lines[l]), lines[l].line_number,
                       "names disk '" + disk_id + "', which no [SourceDisksNames] section lists");
        }
    }
    return entries;
}

// Marks the [SourceDisksFiles] entries of `source` as copied under `destination`; a copied
// file that none lists is a system file or a problem.
static void Copy(const std::string& source, const std::string& destination, size_t line,
                 bool system_files_allowed, std::vector<SourceEntry>* entries, FileSet* set) {
    bool listed = false;
    for (size_t e = 0; e < entries->size(); ++e) {
        SourceEntry& entry = (*entries)[e];
        if (entry.source_folded == FoldAscii(source)) {
            listed = true;
            if (!entry.copied) {
                entry.file.name = FoldAscii(destination);
                entry.copied = true;
            }
        }
    }
    if (!listed && !system_files_allowed) {
        AddProblem(set, source, line,
                   "is copied, but no [SourceDisksFiles] section lists it; list it there, or "
                   "name the system INF that has it with Include= or LayoutFile=");
    }
}

FileSet FindPackageFiles(const InfDocument& document, const std::string& inf_name,
                         const char* platform) {
    FileSet set;
    PackageFile inf = {inf_name, FoldAscii(inf_name), 0};
    set.files.push_back(inf);
    std::vector<SourceEntry> entries = ReadSourceFiles(document, platform, &set);
    const bool includes = HasKey(document, "", "Include") || HasKey(document, "", "Needs");
    const bool system_files_allowed = includes || HasKey(document, "Version", "LayoutFile");
    for (size_t s = 0; s < document.sections.size(); ++s) {
        const std::vector<InfLine>& lines = document.sections[s].lines;
        for (size_t l = 0; l < lines.size(); ++l) {
            if (!lines[l].has_key || !EqualsNoCase(lines[l].key, "CopyFiles")) {
                continue;
            }
            for (size_t v = 0; v < lines[l].values.size(); ++v) {
                const std::string target = ExpandInfString(document, lines[l].values[v]);
                if (target.empty()) {
                    continue;
                }
                if (target[0] == '@') {
                    Copy(target.substr(1), target.substr(1), lines[l].line_number,
                         system_files_allowed, &entries, &set);
                    continue;
                }
                const InfSection* list = FindInfSection(document, target);
                if (list == NULL) {
                    // A section of an included system INF, which the package does not ship.
                    if (!includes) {
                        AddProblem(&set, "[" + target + "]", lines[l].line_number,
                                   "is named by CopyFiles, but the INF lacks that section");
                    }
                    continue;
                }
                for (size_t f = 0; f < list->lines.size(); ++f) {
                    const InfLine& copy = list->lines[f];
                    const std::string destination = ExpandInfString(
                        document, copy.has_key ? copy.key : copy.values[kDestinationValue]);
                    std::string source = !copy.has_key && copy.values.size() > kSourceValue
                                             ? ExpandInfString(document, copy.values[kSourceValue])
                                             : std::string();
                    if (source.empty()) {
                        source = destination;
                    }
                    Copy(source, destination, copy.line_number, system_files_allowed, &entries,
                         &set);
                }
            }
        }
    }
    // In the order the INF names them, whichever platform's lookup reached them first.
    std::stable_sort(entries.begin(), entries.end(), NamedEarlier);
    std::set<std::string> seen;
    seen.insert(FoldAscii(inf_name));
    for (size_t e = 0; e < entries.size(); ++e) {
        const bool wanted = platform == NULL || entries[e].platform == FoldAscii(platform);
        if (wanted && seen.insert(FoldAscii(entries[e].file.relative)).second) {
            set.files.push_back(entries[e].file);
        }
    }
    return set;
}

std::vector<std::string> DescribeProblems(const FileSet& set) {
    std::vector<std::string> lines;
    for (size_t i = 0; i < set.problems.size(); ++i) {
        const FileSetProblem& problem = set.problems[i];
        lines.push_back(problem.file + " (INF line " + std::to_string(problem.inf_line) + ") " +
                        problem.text);
    }
    return lines;
}

std::string DescribeFile(const PackageFile& file) {
    if (file.inf_line == 0) {
        return file.relative;
    }
    return file.relative + " (INF line " + std::to_string(file.inf_line) + ")";
}

std::string NamedCatalog(const InfDocument& document) {
    static const char* const kKeys[] = {"CatalogFile", "CatalogFile.NT", "CatalogFile.NTamd64",
                                        "CatalogFile.NTx86"};
    const InfSection* version = FindInfSection(document, "Version");
    for (size_t k = 0; k < sizeof kKeys / sizeof kKeys[0]; ++k) {
        const std::string* value = FindInfValue(version, kKeys[k]);
        if (value != NULL && !value->empty()) {
            return ExpandInfString(document, *value);
        }
    }
    return std::string();
}

std::string CatalogFileFor(const InfDocument& document, WindowsKind kind) {
    const std::string keys[] = {std::string("CatalogFile.") + kWindowsKinds[kind].inf_decoration,
                                "CatalogFile.NT", "CatalogFile"};
    const InfSection* version = FindInfSection(document, "Version");
    for (size_t k = 0; k < sizeof keys / sizeof keys[0]; ++k) {
        const std::string* value = FindInfValue(version, keys[k].c_str());
        if (value != NULL && !value->empty()) {
            return ExpandInfString(document, *value);
        }
    }
    return std::string();
}

std::vector<std::string> CatalogHardwareIds(const InfDocument& document) {
    std::vector<std::string> ids = HardwareIdsIn(document, EveryModelsSection(document));
    for (size_t i = 0; i < ids.size(); ++i) {
        ids[i] = FoldAscii(ids[i]);
    }
    return ids;
}
