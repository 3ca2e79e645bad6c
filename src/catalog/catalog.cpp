// The catalog's fixed layout: PKCS#7 signed data around a CTL whose members carry each file's
// digest and names.
#include "catalog/catalog.h"

#include <stdio.h>

#include <algorithm>

#include "catalog/der.h"
#include "inf/utf16.h"

static const char kOidSignedData[] = "1.2.840.113549.1.7.2";
static const char kOidCtl[] = "1.3.6.1.4.1.311.10.1";
static const char kOidCatalogList[] = "1.3.6.1.4.1.311.12.1.1";
// The member algorithm that marks the catalog's version, in CatalogVersion order from v1.
static const char* const kOidMemberAlgorithms[] = {"1.3.6.1.4.1.311.12.1.2",
                                                   "1.3.6.1.4.1.311.12.1.3"};
static const char kOidNameValue[] = "1.3.6.1.4.1.311.12.2.1";
static const char kOidMemberInfo[] = "1.3.6.1.4.1.311.12.2.2";
static const char kOidMemberInfo2[] = "1.3.6.1.4.1.311.12.2.3";
static const char kOidIndirectData[] = "1.3.6.1.4.1.311.2.1.4";
static const char kOidPeImageData[] = "1.3.6.1.4.1.311.2.1.15";
static const char kOidFlatData[] = "1.3.6.1.4.1.311.2.1.25";
// The digest algorithms, in DigestKind order.
static const char* const kOidDigests[] = {"1.3.14.3.2.26", "2.16.840.1.101.3.4.2.1"};
static const char kOidMessageDigest[] = "1.2.840.113549.1.9.4";

// Member info's subject GUIDs: the PE and the flat-file subject interface packages.
static const char kGuidPe[] = "{C689AAB8-8E78-11D0-8C47-00C04FC295EE}";
static const char kGuidFlat[] = "{DE351A42-8E59-11D0-8C47-00C04FC295EE}";
static const uint64_t kMemberInfoVersion = 512;
static const uint64_t kNameValueFlags = 0x10010001;
// The empty link that both the PE and the flat indirect data hold: [2] { [0] "" }.
static const char kEmptyLink[] = "\xa2\x02\x80\x00";
// SpcPeImageData's flags (a BIT STRING with no flags set, as Windows writes it) and its file.
static const char kPeImageFlags[] = "\x03\x02\x05\xa0";
// Member info 2: [0] for a PE file, [2] for a flat one, each empty.
static const uint8_t kMemberInfo2Pe = 0x80;
static const uint8_t kMemberInfo2Flat = 0x82;

static const char kNameFile[] = "File";
static const char kNameOsAttr[] = "OSAttr";

std::string HexLower(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const uint8_t byte = static_cast<uint8_t>(bytes[i]);
        out.push_back(kDigits[byte >> 4]);
        out.push_back(kDigits[byte & 0x0f]);
    }
    return out;
}

// UTF-16 text as bytes, little- or big-endian, with a terminating NUL unit when asked.
static std::string Utf16Bytes(const std::string& utf8, bool big_endian, bool terminated) {
    std::u16string units;
    AppendUtf16FromUtf8(utf8, &units);
    if (terminated) {
        units.push_back(0);
    }
    std::string out;
    for (size_t i = 0; i < units.size(); ++i) {
        const char high = static_cast<char>(units[i] >> 8);
        const char low = static_cast<char>(units[i] & 0xff);
        out.push_back(big_endian ? high : low);
        out.push_back(big_endian ? low : high);
    }
    return out;
}

// UTF-8 from UTF-16 bytes, dropping one terminating NUL unit; false for an odd byte count.
static bool Utf8FromUtf16Bytes(const DerReader& content, bool big_endian, std::string* utf8) {
    if (content.size % 2 != 0) {
        return false;
    }
    std::u16string units;
    for (size_t i = 0; i + 1 < content.size; i += 2) {
        const uint8_t first = content.data[i];
        const uint8_t second = content.data[i + 1];
        units.push_back(
            static_cast<char16_t>(big_endian ? (first << 8) | second : (second << 8) | first));
    }
    if (!units.empty() && units[units.size() - 1] == 0) {
        units.erase(units.size() - 1);
    }
    utf8->clear();
    AppendUtf8FromUtf16(units.data(), units.size(), utf8);
    return true;
}

std::string MemberTagFor(CatalogVersion version, DigestKind kind, const std::string& digest) {
    if (version != kCatalogV1 || kind != kDigestSha1) {
        return digest;
    }
    std::string hex = HexLower(digest);
    std::transform(hex.begin(), hex.end(), hex.begin(),
                   [](char c) { return static_cast<char>(c >= 'a' && c <= 'f' ? c - 32 : c); });
    return Utf16Bytes(hex, false, true);
}

// Attribute ::= SEQUENCE { OID, SET { value } }
static std::string Attribute(const char* oid, const std::string& value) {
    return DerEncode(kDerSequence, DerOid(oid) + DerEncode(kDerSet, value));
}

// SEQUENCE { BMPString name, INTEGER flags, OCTET STRING UTF-16LE value with its NUL }
static std::string NameValue(const std::string& name, const std::string& value) {
    return DerEncode(kDerSequence, DerEncode(kDerBmpString, Utf16Bytes(name, true, false)) +
                                       DerInteger(kNameValueFlags) +
                                       DerEncode(kDerOctetString, Utf16Bytes(value, false, true)));
}

static std::string IndirectData(const MemberInput& member) {
    const std::string data =
        member.is_pe
            ? DerOid(kOidPeImageData) +
                  DerEncode(kDerSequence, std::string(kPeImageFlags, 4) +
                                              DerEncode(kDerContext0, std::string(kEmptyLink, 4)))
            : DerOid(kOidFlatData) + std::string(kEmptyLink, 4);
    const std::string digest_info = DerEncode(
        kDerSequence,
        DerEncode(kDerSequence, DerOid(kOidDigests[member.digest_kind]) + DerEncode(kDerNull, "")) +
            DerEncode(kDerOctetString, member.digest));
    return DerEncode(kDerSequence, DerEncode(kDerSequence, data) + digest_info);
}

// One member: its identifier and its attributes, sorted as a DER SET OF requires.
static std::string Member(CatalogVersion version, const MemberInput& member) {
    std::vector<std::string> attributes;
    attributes.push_back(Attribute(kOidNameValue, NameValue(kNameFile, member.file)));
    attributes.push_back(Attribute(kOidNameValue, NameValue(kNameOsAttr, member.os_attr)));
    if (version == kCatalogV1) {
        attributes.push_back(Attribute(
            kOidMemberInfo,
            DerEncode(kDerSequence,
                      DerEncode(kDerBmpString,
                                Utf16Bytes(member.is_pe ? kGuidPe : kGuidFlat, true, false)) +
                          DerInteger(kMemberInfoVersion))));
    } else {
        attributes.push_back(Attribute(
            kOidMemberInfo2, DerEncode(member.is_pe ? kMemberInfo2Pe : kMemberInfo2Flat, "")));
    }
    // A v2 catalog's SHA-1 compat member carries its digest only in its identifier.
    if (version == kCatalogV1 || member.digest_kind != kDigestSha1) {
        attributes.push_back(Attribute(kOidIndirectData, IndirectData(member)));
    }
    std::sort(attributes.begin(), attributes.end());
    std::string set;
    for (size_t i = 0; i < attributes.size(); ++i) {
        set += attributes[i];
    }
    const std::string tag = MemberTagFor(version, member.digest_kind, member.digest);
    return DerEncode(kDerSequence, DerEncode(kDerOctetString, tag) + DerEncode(kDerSet, set));
}

std::string WriteUnsignedCatalog(CatalogVersion version, const std::string& list_id,
                                 const std::string& this_update,
                                 const std::vector<MemberInput>& members,
                                 const std::vector<CatalogAttribute>& attributes) {
    // Sorted by identifier bytes: the identifier's encoding leads each member's encoding, and
    // all identifiers of one catalog have one length per kind.
    std::vector<std::pair<std::string, std::string> > sorted;
    for (size_t i = 0; i < members.size(); ++i) {
        sorted.push_back(
            std::make_pair(MemberTagFor(version, members[i].digest_kind, members[i].digest),
                           Member(version, members[i])));
    }
    std::sort(sorted.begin(), sorted.end());
    // Files with the same bytes have one identifier, and a catalog lists each identifier once.
    std::string member_list;
    for (size_t i = 0; i < sorted.size(); ++i) {
        if (i == 0 || sorted[i].first != sorted[i - 1].first) {
            member_list += sorted[i].second;
        }
    }
    std::string extensions;
    for (size_t i = 0; i < attributes.size(); ++i) {
        extensions += DerEncode(
            kDerSequence,
            DerOid(kOidNameValue) +
                DerEncode(kDerOctetString, NameValue(attributes[i].name, attributes[i].value)));
    }
    const std::string ctl =
        DerEncode(kDerSequence,
                  DerEncode(kDerSequence, DerOid(kOidCatalogList)) +
                      DerEncode(kDerOctetString, list_id) + DerEncode(kDerUtcTime, this_update) +
                      DerEncode(kDerSequence, DerOid(kOidMemberAlgorithms[version - kCatalogV1]) +
                                                  DerEncode(kDerNull, "")) +
                      DerEncode(kDerSequence, member_list) +
                      DerEncode(kDerContext0, DerEncode(kDerSequence, extensions)));
    const std::string signed_data = DerEncode(
        kDerSequence, DerInteger(1) + DerEncode(kDerSet, "") +
                          DerEncode(kDerSequence, DerOid(kOidCtl) + DerEncode(kDerContext0, ctl)) +
                          DerEncode(kDerSet, ""));
    return DerEncode(kDerSequence, DerOid(kOidSignedData) + DerEncode(kDerContext0, signed_data));
}

// Reading. Each step names what it expected, so that a bad file says where it went wrong.

// Reads an element of `tag` and checks that it is the OID `oid`.
static bool ExpectOid(DerReader* reader, const char* oid, const char* what, std::string* error) {
    error->clear();
    DerElement element;
    std::string text;
    if (!DerExpect(reader, kDerOid, &element, error) || !DerOidText(element.content, &text)) {
        *error = std::string(what) + ": " + (error->empty() ? "not an OID" : *error);
        return false;
    }
    if (text != oid) {
        *error = std::string(what) + ": " + text + " where " + oid + " belongs";
        return false;
    }
    return true;
}

// Reads a name/value (BMPString name, INTEGER flags, OCTET STRING value).
static bool ReadNameValue(DerReader reader, CatalogAttribute* attribute, std::string* error) {
    error->clear();
    DerElement sequence;
    DerElement name;
    DerElement flags;
    DerElement value;
    if (!DerExpect(&reader, kDerSequence, &sequence, error) ||
        !DerExpect(&sequence.content, kDerBmpString, &name, error) ||
        !DerExpect(&sequence.content, kDerInteger, &flags, error) ||
        !DerExpect(&sequence.content, kDerOctetString, &value, error) ||
        !Utf8FromUtf16Bytes(name.content, true, &attribute->name) ||
        !Utf8FromUtf16Bytes(value.content, false, &attribute->value)) {
        *error = "a name/value attribute: " + (error->empty() ? "odd UTF-16 text" : *error);
        return false;
    }
    return true;
}

// Reads indirect data: the subject type (PE or flat) and the digest.
static bool ReadIndirectData(DerReader reader, CatalogMember* member, std::string* error) {
    error->clear();
    DerElement outer;
    DerElement data;
    DerElement type;
    DerElement digest_info;
    DerElement algorithm;
    DerElement algorithm_oid;
    DerElement digest;
    std::string type_text;
    std::string algorithm_text;
    if (!DerExpect(&reader, kDerSequence, &outer, error) ||
        !DerExpect(&outer.content, kDerSequence, &data, error) ||
        !DerExpect(&data.content, kDerOid, &type, error) ||
        !DerExpect(&outer.content, kDerSequence, &digest_info, error) ||
        !DerExpect(&digest_info.content, kDerSequence, &algorithm, error) ||
        !DerExpect(&algorithm.content, kDerOid, &algorithm_oid, error) ||
        !DerExpect(&digest_info.content, kDerOctetString, &digest, error) ||
        !DerOidText(type.content, &type_text) ||
        !DerOidText(algorithm_oid.content, &algorithm_text)) {
        *error = "the member's indirect data: " + (error->empty() ? "a bad OID" : *error);
        return false;
    }
    member->is_pe = type_text == kOidPeImageData;
    bool known = false;
    for (size_t kind = 0; kind < sizeof kOidDigests / sizeof kOidDigests[0]; ++kind) {
        if (algorithm_text == kOidDigests[kind]) {
            member->digest_kind = static_cast<DigestKind>(kind);
            known = true;
        }
    }
    if (!known) {
        *error =
            "the member's digest algorithm " + algorithm_text + " is neither SHA-1 nor SHA-256";
        return false;
    }
    if (digest.content.size != kDigestSizes[member->digest_kind]) {
        *error = "the member's digest has the wrong length";
        return false;
    }
    member->digest = DerBytes(digest.content);
    return true;
}

// Reads a member: its identifier and attributes. A v2 catalog's SHA-1 compat member carries
// no indirect data; its 20-byte identifier is its digest and member info 2 its kind. Any other
// member without indirect data is damaged.
static bool ReadMember(DerReader reader, CatalogVersion version, CatalogMember* member,
                       std::string* error) {
    DerElement tag;
    if (!DerExpect(&reader, kDerOctetString, &tag, error)) {
        *error = "a member's identifier: " + *error;
        return false;
    }
    member->tag = DerBytes(tag.content);
    member->is_pe = false;
    member->compat = false;
    bool has_digest = false;
    bool info2_pe = false;
    DerElement attributes;
    attributes.content = DerOver(NULL, 0);
    if (!DerAtEnd(reader) && !DerExpect(&reader, kDerSet, &attributes, error)) {
        *error = "a member's attributes: " + *error;
        return false;
    }
    while (!DerAtEnd(attributes.content)) {
        error->clear();
        DerElement attribute;
        DerElement oid;
        DerElement values;
        std::string oid_text;
        if (!DerExpect(&attributes.content, kDerSequence, &attribute, error) ||
            !DerExpect(&attribute.content, kDerOid, &oid, error) ||
            !DerExpect(&attribute.content, kDerSet, &values, error) ||
            !DerOidText(oid.content, &oid_text)) {
            *error = "a member's attribute: " + (error->empty() ? "a bad OID" : *error);
            return false;
        }
        if (oid_text == kOidIndirectData) {
            if (!ReadIndirectData(values.content, member, error)) {
                return false;
            }
            has_digest = true;
        } else if (oid_text == kOidNameValue) {
            CatalogAttribute name_value;
            if (!ReadNameValue(values.content, &name_value, error)) {
                return false;
            }
            if (name_value.name == kNameFile) {
                member->file = name_value.value;
            } else if (name_value.name == kNameOsAttr) {
                member->os_attr = name_value.value;
            }
        } else if (oid_text == kOidMemberInfo2) {
            DerElement kind;
            info2_pe = DerNext(&values.content, &kind, error) && kind.tag == kMemberInfo2Pe;
        }
    }
    if (!has_digest && version == kCatalogV2 && member->tag.size() == kDigestSizes[kDigestSha1]) {
        member->compat = true;
        member->digest_kind = kDigestSha1;
        member->digest = member->tag;
        member->is_pe = info2_pe;
        return true;
    }
    if (!has_digest) {
        *error = "a member (identifier " + HexLower(member->tag) + ") has no digest";
        return false;
    }
    return true;
}

// Reads the catalog attributes: [0] { SEQUENCE OF SEQUENCE { OID, OCTET STRING name/value } }.
static bool ReadExtensions(DerReader reader, Catalog* catalog, std::string* error) {
    DerElement list;
    if (!DerExpect(&reader, kDerSequence, &list, error)) {
        return false;
    }
    while (!DerAtEnd(list.content)) {
        error->clear();
        DerElement extension;
        DerElement oid;
        DerElement value;
        std::string oid_text;
        if (!DerExpect(&list.content, kDerSequence, &extension, error) ||
            !DerExpect(&extension.content, kDerOid, &oid, error) ||
            !DerOidText(oid.content, &oid_text)) {
            *error = "a catalog attribute: " + (error->empty() ? "a bad OID" : *error);
            return false;
        }
        // A critical flag may stand between the OID and the value.
        DerElement critical;
        DerExpect(&extension.content, kDerBoolean, &critical, error);
        if (!DerExpect(&extension.content, kDerOctetString, &value, error)) {
            *error = "a catalog attribute: " + *error;
            return false;
        }
        if (oid_text != kOidNameValue) {
            continue;
        }
        CatalogAttribute attribute;
        if (!ReadNameValue(value.content, &attribute, error)) {
            return false;
        }
        catalog->attributes.push_back(attribute);
    }
    return true;
}

// Reads the CTL: usage, list identifier, time, member algorithm, members, attributes.
static bool ReadCtl(DerReader reader, Catalog* catalog, std::string* error) {
    DerElement ctl;
    DerElement usage;
    if (!DerExpect(&reader, kDerSequence, &ctl, error)) {
        *error = "the certificate trust list: " + *error;
        return false;
    }
    catalog->signed_content = DerBytes(ctl.content);
    DerReader& fields = ctl.content;
    DerElement element;
    if (!DerExpect(&fields, kDerSequence, &usage, error) ||
        !ExpectOid(&usage.content, kOidCatalogList, "the list's usage", error)) {
        return false;
    }
    if (DerExpect(&fields, kDerOctetString, &element, error)) {
        catalog->list_id = DerBytes(element.content);
    }
    DerExpect(&fields, kDerInteger, &element, error);
    if (!DerExpect(&fields, kDerUtcTime, &element, error) &&
        !DerExpect(&fields, kDerGeneralizedTime, &element, error)) {
        *error = "the list's time: " + *error;
        return false;
    }
    catalog->this_update = DerBytes(element.content);
    if (!DerExpect(&fields, kDerUtcTime, &element, error)) {
        DerExpect(&fields, kDerGeneralizedTime, &element, error);
    }
    DerElement algorithm;
    DerElement algorithm_oid;
    std::string algorithm_text;
    error->clear();
    if (!DerExpect(&fields, kDerSequence, &algorithm, error) ||
        !DerExpect(&algorithm.content, kDerOid, &algorithm_oid, error) ||
        !DerOidText(algorithm_oid.content, &algorithm_text)) {
        *error = "the member algorithm: " + (error->empty() ? "a bad OID" : *error);
        return false;
    }
    catalog->version = algorithm_text == kOidMemberAlgorithms[1] ? kCatalogV2 : kCatalogV1;
    DerElement members;
    if (DerExpect(&fields, kDerSequence, &members, error)) {
        while (!DerAtEnd(members.content)) {
            DerElement member;
            if (!DerExpect(&members.content, kDerSequence, &member, error)) {
                *error = "a member: " + *error;
                return false;
            }
            CatalogMember read;
            if (!ReadMember(member.content, catalog->version, &read, error)) {
                return false;
            }
            catalog->members.push_back(read);
        }
    }
    DerElement extensions;
    if (DerExpect(&fields, kDerContext0, &extensions, error) &&
        !ReadExtensions(extensions.content, catalog, error)) {
        return false;
    }
    return true;
}

static const char kOidCommonName[] = "2.5.4.3";
static const char kOidOrganization[] = "2.5.4.10";

// The common name (else the organisation) in an X.509 Name: SEQUENCE OF SET OF
// SEQUENCE { OID, string }; empty when it has neither.
static std::string NameText(DerReader name) {
    std::string common_name;
    std::string organization;
    std::string error;
    DerElement set;
    while (DerExpect(&name, kDerSet, &set, &error)) {
        DerElement pair;
        while (DerExpect(&set.content, kDerSequence, &pair, &error)) {
            DerElement oid;
            DerElement value;
            std::string oid_text;
            if (!DerExpect(&pair.content, kDerOid, &oid, &error) ||
                !DerNext(&pair.content, &value, &error) || !DerOidText(oid.content, &oid_text)) {
                continue;
            }
            std::string text = DerBytes(value.content);
            if (value.tag == kDerBmpString) {
                Utf8FromUtf16Bytes(value.content, true, &text);
            }
            if (oid_text == kOidCommonName && common_name.empty()) {
                common_name = text;
            } else if (oid_text == kOidOrganization && organization.empty()) {
                organization = text;
            }
        }
    }
    return common_name.empty() ? organization : common_name;
}

// The signer's name: the subject of the certificate whose issuer and serial number the signer
// info names (SignerInfo: version, issuerAndSerialNumber, ...); empty when it is not there.
static std::string SignerName(DerReader signer, DerReader certificates) {
    std::string error;
    DerElement version;
    DerElement issuer_and_serial;
    if (!DerExpect(&signer, kDerInteger, &version, &error) ||
        !DerExpect(&signer, kDerSequence, &issuer_and_serial, &error)) {
        return std::string();
    }
    const std::string wanted = DerBytes(issuer_and_serial.content);
    DerElement certificate;
    while (DerExpect(&certificates, kDerSequence, &certificate, &error)) {
        // Certificate: tbsCertificate { [0] version, serial, algorithm, issuer, validity,
        // subject, ... }.
        DerElement tbs;
        DerElement field;
        if (!DerExpect(&certificate.content, kDerSequence, &tbs, &error)) {
            continue;
        }
        DerExpect(&tbs.content, kDerContext0, &field, &error);
        DerElement serial;
        DerElement algorithm;
        DerElement issuer;
        DerElement validity;
        DerElement subject;
        if (!DerExpect(&tbs.content, kDerInteger, &serial, &error) ||
            !DerExpect(&tbs.content, kDerSequence, &algorithm, &error) ||
            !DerExpect(&tbs.content, kDerSequence, &issuer, &error) ||
            !DerExpect(&tbs.content, kDerSequence, &validity, &error) ||
            !DerExpect(&tbs.content, kDerSequence, &subject, &error)) {
            continue;
        }
        const std::string issuer_and_serial_bytes =
            std::string(reinterpret_cast<const char*>(issuer.encoded), issuer.encoded_size) +
            std::string(reinterpret_cast<const char*>(serial.encoded), serial.encoded_size);
        if (issuer_and_serial_bytes == wanted) {
            return NameText(subject.content);
        }
    }
    return std::string();
}

// The signer's issuer and serial number, digest algorithm and messageDigest attribute
// (SignerInfo: version,
// issuerAndSerialNumber, digestAlgorithm, [0] authenticatedAttributes, ...), into *catalog.
static void ReadSigner(DerReader signer, Catalog* catalog) {
    std::string error;
    DerElement field;
    DerElement issuer_and_serial;
    DerElement issuer;
    DerElement serial;
    DerElement algorithm;
    DerElement attributes;
    std::string oid;
    if (!DerExpect(&signer, kDerInteger, &field, &error) ||
        !DerExpect(&signer, kDerSequence, &issuer_and_serial, &error)) {
        return;
    }
    if (DerExpect(&issuer_and_serial.content, kDerSequence, &issuer, &error) &&
        DerExpect(&issuer_and_serial.content, kDerInteger, &serial, &error)) {
        catalog->signer_issuer.assign(reinterpret_cast<const char*>(issuer.encoded),
                                      issuer.encoded_size);
        catalog->signer_serial = DerBytes(serial.content);
    }
    if (!DerExpect(&signer, kDerSequence, &algorithm, &error) ||
        !DerExpect(&algorithm.content, kDerOid, &field, &error) ||
        !DerOidText(field.content, &oid) ||
        !DerExpect(&signer, kDerContext0, &attributes, &error)) {
        return;
    }
    size_t kind = 0;
    while (kind < sizeof kOidDigests / sizeof kOidDigests[0] && oid != kOidDigests[kind]) {
        ++kind;
    }
    if (kind == sizeof kOidDigests / sizeof kOidDigests[0]) {
        return;
    }
    DerElement attribute;
    while (DerExpect(&attributes.content, kDerSequence, &attribute, &error)) {
        DerElement type;
        DerElement values;
        DerElement value;
        std::string type_oid;
        if (DerExpect(&attribute.content, kDerOid, &type, &error) &&
            DerOidText(type.content, &type_oid) && type_oid == kOidMessageDigest &&
            DerExpect(&attribute.content, kDerSet, &values, &error) &&
            DerExpect(&values.content, kDerOctetString, &value, &error)) {
            catalog->has_signer_digest = true;
            catalog->signer_digest_kind = static_cast<DigestKind>(kind);
            catalog->signer_message_digest = DerBytes(value.content);
            return;
        }
    }
}

bool ReadCatalog(const uint8_t* data, size_t size, Catalog* catalog, std::string* error) {
    *catalog = Catalog();
    catalog->version = kCatalogV1;
    catalog->signer_count = 0;
    catalog->has_signer_digest = false;
    catalog->signer_digest_kind = kDigestSha1;
    if (size == 0) {
        *error = "is empty (0 bytes)";
        return false;
    }
    DerReader reader = DerOver(data, size);
    DerElement content_info;
    DerElement explicit_content;
    DerElement signed_data;
    DerElement version;
    DerElement digest_algorithms;
    DerElement encapsulated;
    DerElement inner;
    if (!DerExpect(&reader, kDerSequence, &content_info, error)) {
        *error = "is not a catalog (not DER): " + *error;
        return false;
    }
    if (!ExpectOid(&content_info.content, kOidSignedData, "the content type", error)) {
        *error = "is not a catalog: " + *error;
        return false;
    }
    if (!DerExpect(&content_info.content, kDerContext0, &explicit_content, error) ||
        !DerExpect(&explicit_content.content, kDerSequence, &signed_data, error) ||
        !DerExpect(&signed_data.content, kDerInteger, &version, error) ||
        !DerExpect(&signed_data.content, kDerSet, &digest_algorithms, error) ||
        !DerExpect(&signed_data.content, kDerSequence, &encapsulated, error)) {
        *error = "is not a catalog: its signed data is cut short or damaged (" + *error + ")";
        return false;
    }
    if (!ExpectOid(&encapsulated.content, kOidCtl, "the signed content type", error)) {
        *error = "is not a catalog: " + *error;
        return false;
    }
    if (!DerExpect(&encapsulated.content, kDerContext0, &inner, error) ||
        !ReadCtl(inner.content, catalog, error)) {
        *error = "is a damaged catalog: " + *error;
        return false;
    }
    // Optional certificates [0] and CRLs [1], then the signer infos.
    DerReader certificates = DerOver(NULL, 0);
    DerElement element;
    while (DerNext(&signed_data.content, &element, error)) {
        if (element.tag == kDerContext0) {
            certificates = element.content;
        } else if (element.tag == kDerSet) {
            DerReader signers = element.content;
            DerElement signer;
            while (DerNext(&signers, &signer, error)) {
                if (catalog->signer_count++ == 0) {
                    catalog->signer_name = SignerName(signer.content, certificates);
                    ReadSigner(signer.content, catalog);
                }
            }
        }
    }
    error->clear();
    return true;
}
