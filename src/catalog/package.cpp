// Finding, hashing and comparing a package's files.
#include "catalog/package.h"

#include <fstream>
#include <system_error>

#include "inf/ascii.h"
#include "inf/inf_text.h"

namespace fs = std::filesystem;

bool LoadPackage(const fs::path& inf_path, Package* package, std::string* error) {
    std::error_code code;
    if (!fs::is_regular_file(inf_path, code)) {
        *error = inf_path.u8string() + ": not found, or not a regular file";
        return false;
    }
    // At most one byte past the INF reader's limit, and no more than the file holds.
    const uintmax_t listed = fs::file_size(inf_path, code);
    const size_t want = code || listed > kInfReadLimit ? kInfReadLimit + 1 : listed + 1;
    std::ifstream in(inf_path, std::ios::binary);
    std::string bytes(want, '\0');
    in.read(&bytes[0], static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) {
        *error = inf_path.u8string() + ": could not be read";
        return false;
    }
    bytes.resize(static_cast<size_t>(in.gcount()));
    std::string text;
    std::string reason;
    InfEncoding encoding = kInfAnsiOrUtf8;
    if (!DecodeInfText(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), &text,
                       &encoding, &reason)) {
        *error = inf_path.u8string() + ": " + reason;
        return false;
    }
    package->folder = inf_path.parent_path().empty() ? fs::path(".") : inf_path.parent_path();
    package->inf_name = inf_path.filename().u8string();
    package->document = ParseInfText(text, encoding);
    package->set = FindPackageFiles(package->document, package->inf_name, NULL);
    return true;
}

// Finds `relative` under `root` one name at a time, letter case ignored where no exact match
// exists. Returns false, with the reason, when a name is missing.
static bool FindNoCase(const fs::path& root, const std::string& relative, fs::path* found,
                       std::string* reason) {
    fs::path path = root;
    size_t begin = 0;
    while (begin <= relative.size()) {
        size_t end = relative.find('\\', begin);
        if (end == std::string::npos) {
            end = relative.size();
        }
        const std::string name = relative.substr(begin, end - begin);
        begin = end + 1;
        std::error_code code;
        if (fs::exists(path / fs::u8path(name), code)) {
            path /= fs::u8path(name);
            continue;
        }
        std::string match;
        for (fs::directory_iterator it(path, code), stop; !code && it != stop; it.increment(code)) {
            if (EqualsNoCase(it->path().filename().u8string(), name)) {
                match = it->path().filename().u8string();
                break;
            }
        }
        if (match.empty()) {
            *reason = "is missing from the package folder";
            return false;
        }
        path /= fs::u8path(match);
    }
    *found = path;
    return true;
}

// Whether `path`, with every link followed, stays inside `root`.
static bool InsideFolder(const fs::path& root, const fs::path& path) {
    std::error_code code;
    const fs::path real_root = fs::canonical(root, code);
    const fs::path real_path = fs::canonical(path, code);
    if (code) {
        return false;
    }
    // Compared name by name, so that either platform's separator works.
    fs::path::const_iterator path_part = real_path.begin();
    for (fs::path::const_iterator root_part = real_root.begin(); root_part != real_root.end();
         ++root_part, ++path_part) {
        if (path_part == real_path.end() || *path_part != *root_part) {
            return false;
        }
    }
    return path_part != real_path.end();
}

void HashPackageFiles(const Package& package, bool with_sha256, std::vector<HashedFile>* hashed,
                      std::vector<std::string>* problems) {
    for (size_t i = 0; i < package.set.files.size(); ++i) {
        const PackageFile& file = package.set.files[i];
        HashedFile entry;
        entry.file = file;
        std::string reason;
        std::error_code code;
        if (!FindNoCase(package.folder, file.relative, &entry.path, &reason)) {
            problems->push_back(DescribeFile(file) + " " + reason);
            continue;
        }
        if (!InsideFolder(package.folder, entry.path)) {
            problems->push_back(DescribeFile(file) +
                                " is a link that leads outside the package folder");
            continue;
        }
        if (!fs::is_regular_file(entry.path, code)) {
            problems->push_back(DescribeFile(file) + " is not a regular file");
            continue;
        }
        if (!DigestFile(entry.path.u8string(), with_sha256, &entry.digests, &reason)) {
            problems->push_back(DescribeFile(file) + " " + reason);
            continue;
        }
        hashed->push_back(entry);
    }
}

std::vector<std::string> ComparePackage(const std::string& catalog_name, const Catalog& catalog,
                                        const std::vector<HashedFile>& hashed) {
    std::vector<std::string> problems;
    for (size_t m = 0; m < catalog.members.size(); ++m) {
        const CatalogMember& member = catalog.members[m];
        const std::string expected =
            MemberTagFor(catalog.version, member.digest_kind, member.digest);
        if (member.tag != expected) {
            problems.push_back("member " +
                               (member.file.empty() ? HexLower(member.tag) : member.file) +
                               ": its identifier differs from its digest " +
                               HexLower(member.digest) + "; the catalog is damaged, make it again");
        }
    }
    // v2 catalogs are checked by their SHA-256 members, v1 by their SHA-1 ones.
    const DigestKind kind = catalog.version == kCatalogV2 ? kDigestSha256 : kDigestSha1;
    for (size_t h = 0; h < hashed.size(); ++h) {
        const HashedFile& file = hashed[h];
        const std::string& digest = kind == kDigestSha256 ? file.digests.sha256 : file.digests.sha1;
        bool found = false;
        bool named = false;
        for (size_t m = 0; m < catalog.members.size(); ++m) {
            const CatalogMember& member = catalog.members[m];
            if (member.digest_kind != kind) {
                continue;
            }
            found = found || member.digest == digest;
            named = named || EqualsNoCase(member.file, file.file.name);
        }
        if (found) {
            continue;
        }
        problems.push_back(
            named ? DescribeFile(file.file) + " changed after " + catalog_name +
                        " was made: make the catalog again, then sign it"
                  : DescribeFile(file.file) + " is not in " + catalog_name + " (its hash " +
                        HexLower(digest) +
                        " is not among the members): make the catalog again, then sign it");
    }
    return problems;
}
