// Whether the package on the media is the package its catalog was made for: a copy gone bad,
// an edit after signing or an older build shows here, before Windows is asked to stage it.
#include "catalog/package_check.h"

#include "catalog/catalog.h"
#include "catalog/file_digest.h"
#include "catalog/file_set.h"
#include "inf/wide_text.h"

// Bytes read per call.
static const DWORD kReadChunk = 64 * 1024;

DWORD ReadBoundedFile(const std::wstring& path, size_t limit, std::vector<unsigned char>* bytes) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        return GetLastError();
    }
    bytes->clear();
    DWORD error = ERROR_SUCCESS;
    while (bytes->size() <= limit) {
        const size_t before = bytes->size();
        bytes->resize(before + kReadChunk);
        DWORD got = 0;
        if (!ReadFile(file, bytes->data() + before, kReadChunk, &got, NULL)) {
            error = GetLastError();
            got = 0;
        }
        bytes->resize(before + got);
        if (got == 0) {
            break;
        }
    }
    CloseHandle(file);
    return error;
}

static PackageCheck Refused(DWORD code, const std::string& problem) {
    PackageCheck check;
    check.code = code;
    check.problems.push_back(problem);
    return check;
}

// The digest that a catalog of this version lists a file by.
static const std::string& CatalogDigest(const Catalog& catalog, const FileDigests& digests) {
    return catalog.version == kCatalogV2 ? digests.sha256 : digests.sha1;
}

// WinVerifyTrust names a member by its digest in upper-case hex.
static std::wstring TagFor(const std::string& digest) {
    static const char kHex[] = "0123456789ABCDEF";
    std::wstring tag;
    for (size_t i = 0; i < digest.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(digest[i]);
        tag.push_back(static_cast<wchar_t>(kHex[byte >> 4]));
        tag.push_back(static_cast<wchar_t>(kHex[byte & 0x0f]));
    }
    return tag;
}

// Whether a member of the catalog carries this digest of the catalog's own kind.
static bool HasMember(const Catalog& catalog, const FileDigests& digests) {
    const DigestKind kind = catalog.version == kCatalogV2 ? kDigestSha256 : kDigestSha1;
    const std::string& digest = CatalogDigest(catalog, digests);
    for (size_t i = 0; i < catalog.members.size(); ++i) {
        if (catalog.members[i].digest_kind == kind && catalog.members[i].digest == digest) {
            return true;
        }
    }
    return false;
}

PackageCheck CheckPackageCatalog(WindowsKind build, const std::wstring& inf_path,
                                 const InfDocument& document) {
    const size_t slash = inf_path.rfind(L'\\');
    const std::wstring folder =
        slash == std::wstring::npos ? std::wstring() : inf_path.substr(0, slash + 1);
    const std::string inf_name = Utf8FromWide(inf_path.substr(folder.size()));
    const std::string name = CatalogFileFor(document, build);
    if (name.empty()) {
        PackageCheck check;
        check.code = ERROR_SUCCESS;
        check.summary = inf_name + " names no catalog: the package is unsigned";
        return check;
    }
    if (name.find_first_of("\\/:") != std::string::npos) {
        return Refused(ERROR_NO_CATALOG_FOR_OEM_INF,
                       inf_name + " names the catalog '" + name +
                           "', which is not a file name beside it, as Windows requires");
    }
    const std::wstring catalog_path = folder + WideFromUtf8(name);
    std::vector<unsigned char> bytes;
    const DWORD read_error = ReadBoundedFile(catalog_path, kCatalogReadLimit, &bytes);
    if (read_error != ERROR_SUCCESS) {
        const bool missing =
            read_error == ERROR_FILE_NOT_FOUND || read_error == ERROR_PATH_NOT_FOUND;
        return Refused(ERROR_NO_CATALOG_FOR_OEM_INF,
                       name + ", the catalog " + inf_name + " names, " +
                           (missing ? "is not beside it: the package is incomplete"
                                    : "cannot be read (error " + std::to_string(read_error) + ")"));
    }
    Catalog catalog;
    std::string error;
    if (bytes.size() > kCatalogReadLimit) {
        error = "is larger than any driver catalog";
    }
    if (!error.empty() || !ReadCatalog(bytes.data(), bytes.size(), &catalog, &error)) {
        return Refused(
            ERROR_NO_CATALOG_FOR_OEM_INF,
            name + ", the catalog " + inf_name + " names, " + error + ": the package is damaged");
    }
    PackageCheck check;
    check.code = ERROR_SUCCESS;
    check.catalog = catalog_path;
    // The platform's [SourceDisksFiles.*] decoration is the INF decoration without "NT".
    const FileSet set =
        FindPackageFiles(document, inf_name, kWindowsKinds[build].inf_decoration + 2);
    check.problems = DescribeProblems(set);
    for (size_t i = 0; i < set.files.size(); ++i) {
        const PackageFile& file = set.files[i];
        const std::wstring path = folder + WideFromUtf8(file.relative);
        FileDigests digests;
        const std::string shown = DescribeFile(file);
        if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
            check.problems.push_back(shown + " is missing: the package is incomplete");
        } else if (!DigestFile(Utf8FromWide(path), catalog.version == kCatalogV2, &digests,
                               &error)) {
            check.problems.push_back(shown + " " + error +
                                     ": the package is incomplete or damaged");
        } else {
            // The set lists the INF first; WinVerifyTrust is asked about it by its digest.
            if (i == 0) {
                check.inf_tag = TagFor(CatalogDigest(catalog, digests));
            }
            if (!HasMember(catalog, digests)) {
                check.problems.push_back(shown + " does not match " + name +
                                         ": the package was changed after it was signed");
            }
        }
    }
    if (!check.problems.empty()) {
        check.code = ERROR_FILE_HASH_NOT_IN_CATALOG;
        return check;
    }
    check.read = catalog;
    const size_t copied = set.files.size() - 1;
    check.summary =
        copied == 0 ? name + " holds " + inf_name + " with its current hash (it copies no files)"
                    : name + " holds " + inf_name + " and the " + std::to_string(copied) +
                          " file(s) it copies on this Windows, with their current "
                          "hashes";
    return check;
}
