// Finding, hashing and comparing a package's files.
#include "package/package.h"

#include <algorithm>
#include <fstream>
#include <system_error>

#include "inf/ascii.h"
#include "inf/inf_text.h"

namespace fs = std::filesystem;

const char kMissingFromPackage[] = "is missing from the package folder";

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

// Finds `relative` under `root` one name at a time, as Windows matches names: the exact name,
// else the one name that equals it with letter case ignored. Two such names are an error,
// since Windows could take either.
static bool FindNoCase(const fs::path& root, const std::string& relative, FoundFile* found,
                       std::string* reason) {
    fs::path path = root;
    std::string spelled;
    size_t begin = 0;
    while (begin <= relative.size()) {
        size_t end = relative.find('\\', begin);
        if (end == std::string::npos) {
            end = relative.size();
        }
        const std::string name = relative.substr(begin, end - begin);
        begin = end + 1;
        std::vector<std::string> matches;
        std::error_code code;
        for (fs::directory_iterator it(path, code), stop; !code && it != stop; it.increment(code)) {
            const std::string entry = it->path().filename().u8string();
            if (EqualsNoCase(entry, name)) {
                matches.push_back(entry);
            }
        }
        if (matches.empty()) {
            *reason = kMissingFromPackage;
            return false;
        }
        if (matches.size() > 1) {
            std::sort(matches.begin(), matches.end());
            *reason = "matches both " + matches[0] + " and " + matches[1] +
                      ", whose names differ only in letter case: Windows could take either, so "
                      "keep one";
            return false;
        }
        path /= fs::u8path(matches[0]);
        spelled += (spelled.empty() ? "" : "\\") + matches[0];
    }
    found->path = path.u8string();
    found->spelled = spelled;
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

static bool HostFind(const void* context, const std::string& relative, FoundFile* found,
                     std::string* reason) {
    const fs::path& folder = *static_cast<const fs::path*>(context);
    if (!FindNoCase(folder, relative, found, reason)) {
        return false;
    }
    std::error_code code;
    if (!InsideFolder(folder, fs::u8path(found->path))) {
        *reason = "is a link that leads outside the package folder";
        return false;
    }
    if (!fs::is_regular_file(fs::u8path(found->path), code)) {
        *reason = "is not a regular file";
        return false;
    }
    return true;
}

static bool HostRead(const void*, const std::string& path, size_t limit, std::string* bytes,
                     std::string* reason) {
    std::error_code code;
    if (!fs::is_regular_file(fs::u8path(path), code)) {
        *reason = "it is not found, or is not a regular file";
        return false;
    }
    std::ifstream in(fs::u8path(path), std::ios::binary);
    if (!in) {
        *reason = "it could not be opened (it vanished, or reading it is not allowed)";
        return false;
    }
    const uintmax_t listed = fs::file_size(fs::u8path(path), code);
    // At most one byte past the limit, and no more than the file holds.
    bytes->assign(code || listed > limit ? limit + 1 : static_cast<size_t>(listed) + 1, '\0');
    in.read(&(*bytes)[0], static_cast<std::streamsize>(bytes->size()));
    if (in.bad()) {
        *reason = "an input/output error";
        return false;
    }
    bytes->resize(static_cast<size_t>(in.gcount()));
    return true;
}

static bool HostDigest(const void*, const std::string& path, bool with_sha256, FileDigests* digests,
                       std::string* reason) {
    return DigestFile(path, with_sha256, digests, reason);
}

PackageAccess HostPackageAccess(const fs::path* folder) {
    const PackageAccess access = {folder, HostFind, HostRead, HostDigest};
    return access;
}
