// Whether the package on the media is the package its catalog was made for: a copy gone bad,
// an edit after signing or an older build shows here, before Windows is asked to stage it.
#include "package/package_check.h"

#include "catalog/catalog.h"
#include "backend/file_digest.h"
#include "package/file_set.h"
#include "package/package_verify.h"
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

// The package folder, with its trailing backslash, that the Windows calls below look in.
struct WindowsFolder {
    std::wstring folder;
};

// Windows matches names regardless of letter case itself, so the path is the name as given.
static bool WindowsFind(const void* context, const std::string& relative, FoundFile* found,
                        std::string* reason) {
    const std::wstring path =
        static_cast<const WindowsFolder*>(context)->folder + WideFromUtf8(relative);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        *reason = "is missing: the package is incomplete";
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        *reason = "is a folder, not a file: the package is incomplete";
        return false;
    }
    found->path = Utf8FromWide(path);
    found->spelled = relative;
    return true;
}

static bool WindowsRead(const void*, const std::string& path, size_t limit, std::string* bytes,
                        std::string* reason) {
    std::vector<unsigned char> read;
    const DWORD error = ReadBoundedFile(WideFromUtf8(path), limit, &read);
    if (error != ERROR_SUCCESS) {
        *reason = "error " + std::to_string(error);
        return false;
    }
    bytes->assign(read.begin(), read.end());
    return true;
}

static bool WindowsDigest(const void*, const std::string& path, bool with_sha256,
                          FileDigests* digests, std::string* reason) {
    return DigestFile(path, with_sha256, digests, reason);
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

// The Windows code of each verdict, in VerifyOutcome order.
static const DWORD kOutcomeCodes[] = {ERROR_SUCCESS, ERROR_NO_CATALOG_FOR_OEM_INF,
                                      ERROR_FILE_HASH_NOT_IN_CATALOG, ERROR_SUCCESS};

PackageCheck CheckPackageCatalog(WindowsKind build, const std::wstring& inf_path,
                                 const InfDocument& document) {
    const size_t slash = inf_path.rfind(L'\\');
    WindowsFolder folder;
    folder.folder = slash == std::wstring::npos ? std::wstring() : inf_path.substr(0, slash + 1);
    const std::string inf_name = Utf8FromWide(inf_path.substr(folder.folder.size()));
    const PackageAccess access = {&folder, WindowsFind, WindowsRead, WindowsDigest};
    const std::string name = CatalogFileFor(document, build);
    // The platform's [SourceDisksFiles.*] decoration is the INF decoration without "NT".
    const PackageVerdict verdict =
        VerifyPackage(document, inf_name, kWindowsKinds[build].inf_decoration + 2, name, access);
    PackageCheck check;
    check.code = kOutcomeCodes[verdict.outcome];
    for (size_t i = 0; i < verdict.findings.size(); ++i) {
        if (!verdict.findings[i].warning) {
            check.problems.push_back(DescribeFinding(verdict.findings[i]));
        }
    }
    if (verdict.outcome == kVerifyUnsigned) {
        check.summary = inf_name + " names no catalog: the package is unsigned";
        return check;
    }
    if (verdict.outcome != kVerifyMatch) {
        return check;
    }
    check.catalog = WideFromUtf8(verdict.catalog_path);
    check.read = verdict.catalog;
    check.inf_tag = TagFor(verdict.inf_digest);
    const size_t copied = verdict.files - 1;
    check.summary =
        copied == 0 ? name + " holds " + inf_name + " with its current hash (it copies no files)"
                    : name + " holds " + inf_name + " and the " + std::to_string(copied) +
                          " file(s) it copies on this Windows, with their current "
                          "hashes";
    return check;
}
