// Members and attributes for a new catalog.
#include "package/make_catalog.h"

#include <stdio.h>
#include <time.h>

#include "catalog/os_targets.h"
#include "inf/inf_models.h"

std::vector<size_t> DefaultOsTargets(const InfDocument& document) {
    // Per kind of Windows, the identifiers it gets by default.
    static const char* const kDefaults[kWindowsKindCount] = {"10_X86", "10_X64,Server10_X64"};
    std::string list;
    for (int k = 0; k < kWindowsKindCount; ++k) {
        const std::vector<ManufacturerModels> entries =
            ModelsForArch(document, static_cast<WindowsKind>(k));
        bool has_models = false;
        for (size_t e = 0; e < entries.size(); ++e) {
            for (size_t s = 0; s < entries[e].sections.size(); ++s) {
                has_models = has_models || FindInfSection(document, entries[e].sections[s]) != NULL;
            }
        }
        if (has_models) {
            list += (list.empty() ? "" : ",") + std::string(kDefaults[k]);
        }
    }
    std::vector<size_t> targets;
    std::string error;
    if (!list.empty()) {
        ParseOsTargets(list, &targets, &error);
    }
    return targets;
}

std::vector<MemberInput> CatalogMembers(CatalogVersion version,
                                        const std::vector<HashedFile>& files,
                                        const std::vector<size_t>& targets) {
    const std::string os_attr = OsAttrValue(targets);
    std::vector<MemberInput> members;
    for (size_t i = 0; i < files.size(); ++i) {
        MemberInput member;
        member.is_pe = files[i].digests.is_pe;
        member.file = files[i].file.name;
        member.os_attr = os_attr;
        member.digest_kind = kDigestSha1;
        member.digest = files[i].digests.sha1;
        members.push_back(member);
        if (version == kCatalogV2) {
            member.digest_kind = kDigestSha256;
            member.digest = files[i].digests.sha256;
            members.push_back(member);
        }
    }
    return members;
}

std::vector<CatalogAttribute> CatalogAttributes(const InfDocument& document,
                                                const std::vector<size_t>& targets) {
    std::vector<CatalogAttribute> attributes;
    CatalogAttribute os = {"OS", OsAttributeValue(targets)};
    attributes.push_back(os);
    const std::vector<std::string> ids = CatalogHardwareIds(document);
    for (size_t i = ids.size(); i > 0; --i) {
        CatalogAttribute id = {"HWID" + std::to_string(i), ids[i - 1]};
        attributes.push_back(id);
    }
    return attributes;
}

std::string UtcTimeText(int64_t seconds) {
    const time_t value = static_cast<time_t>(seconds);
    // The tool is single-threaded, so gmtime's shared result is safe here.
    const struct tm when = *gmtime(&value);
    char text[64];
    snprintf(text, sizeof text, "%02d%02d%02d%02d%02d%02dZ", when.tm_year % 100, when.tm_mon + 1,
             when.tm_mday, when.tm_hour, when.tm_min, when.tm_sec);
    return text;
}
