// A driver catalog's content: its members (one per hashed file) and attributes, written as an
// unsigned catalog the way Windows' tools lay it out, and read back from any catalog.
#ifndef DRIVERSETUP_CATALOG_CATALOG_H
#define DRIVERSETUP_CATALOG_CATALOG_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

// v1 members are SHA-1 (Windows 7 and later); v2 adds SHA-256 ones (Windows 8 and later).
enum CatalogVersion { kCatalogV1 = 1, kCatalogV2 = 2 };

enum DigestKind { kDigestSha1, kDigestSha256 };

// The digest sizes, in DigestKind order.
const size_t kDigestSizes[] = {20, 32};

// What the checker and the pre-installer read of a catalog at most; real driver catalogs stay
// far below it.
const size_t kCatalogReadLimit = 16 * 1024 * 1024;

struct CatalogMember {
    std::string tag;  // the identifier bytes as stored
    DigestKind digest_kind;
    std::string digest;  // raw bytes, from the member's indirect data
    bool is_pe;
    // A v2 catalog's SHA-1 compat member: no indirect data, so its digest is its identifier.
    bool compat;
    std::string file;     // the "File" name, UTF-8; empty when the member has none
    std::string os_attr;  // the "OSAttr" value, UTF-8
};

// One name/value attribute, UTF-8 both.
struct CatalogAttribute {
    std::string name;
    std::string value;
};

struct Catalog {
    CatalogVersion version;
    std::string list_id;      // 16 bytes
    std::string this_update;  // as stored: "YYMMDDhhmmssZ"
    std::vector<CatalogMember> members;
    std::vector<CatalogAttribute> attributes;  // in stored order
    // The CTL's content octets, which a signature's messageDigest covers.
    std::string signed_content;
    size_t signer_count;  // 0 for an unsigned catalog
    // The first signer's certificate subject, its common name or else its organisation; read,
    // not verified. Empty when unsigned or when the certificate is not in the catalog.
    std::string signer_name;
    // The first signer's digest algorithm and the messageDigest attribute it signed; read, not
    // verified. has_signer_digest is false when either is missing or the algorithm is unknown.
    bool has_signer_digest;
    // The first signer's certificate issuer (its DER Name) and serial number (big-endian
    // bytes), by which Windows' certificate stores find it; empty when unsigned.
    std::string signer_issuer;
    std::string signer_serial;
    DigestKind signer_digest_kind;
    std::string signer_message_digest;
};

// The identifier that a member of this version and kind gets for `digest`: v1 SHA-1 members
// the upper-case hex digest in UTF-16LE with a terminating NUL; others the raw digest.
std::string MemberTagFor(CatalogVersion version, DigestKind kind, const std::string& digest);

// What the writer needs of one member; its tag follows from the digest.
struct MemberInput {
    DigestKind digest_kind;
    std::string digest;
    bool is_pe;
    std::string file;
    std::string os_attr;
};

// The bytes of an unsigned catalog: members sorted by identifier, each identifier once (files
// with the same bytes share it), each member's attributes sorted as DER sets are, catalog
// attributes in the order given. `this_update` is a UTCTime string, `list_id` 16 bytes.
std::string WriteUnsignedCatalog(CatalogVersion version, const std::string& list_id,
                                 const std::string& this_update,
                                 const std::vector<MemberInput>& members,
                                 const std::vector<CatalogAttribute>& attributes);

// Reads a catalog, signed or not. Fails, with the reason in *error, on anything that is not a
// well-formed catalog: not PKCS#7 signed data, not a CTL, or a member without a digest (but
// for a v2 catalog's 20-byte compat member, whose identifier is its SHA-1). An
// identifier that differs from its digest is read as it is; checking it is the caller's.
bool ReadCatalog(const uint8_t* data, size_t size, Catalog* catalog, std::string* error);

// "a1b2..." for raw bytes.
std::string HexLower(const std::string& bytes);

#endif
