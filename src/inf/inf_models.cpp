// Models sections per Windows architecture, as Windows setup picks them from [Manufacturer].
#include "inf/inf_models.h"

#include <stddef.h>

#include "inf/ascii.h"

// What a [Manufacturer] decoration targets: "NTamd64", "NTamd64.10.0...16299", "NT.6.1".
enum DecorationTarget { kTargetAmd64, kTargetX86, kTargetAnyNt, kTargetOther };

struct DecorationPrefix {
    const char* prefix;
    DecorationTarget target;
};

// Longer prefixes first: "nt" alone must not claim "ntamd64".
static const DecorationPrefix kDecorationPrefixes[] = {
    {"ntamd64", kTargetAmd64},
    {"ntx86", kTargetX86},
    {"nt", kTargetAnyNt},
};

static DecorationTarget TargetOf(const std::string& decoration) {
    for (size_t i = 0; i < sizeof kDecorationPrefixes / sizeof kDecorationPrefixes[0]; ++i) {
        const std::string prefix = kDecorationPrefixes[i].prefix;
        if (decoration.size() >= prefix.size() &&
            EqualsNoCase(decoration.substr(0, prefix.size()), prefix) &&
            (decoration.size() == prefix.size() || decoration[prefix.size()] == '.')) {
            return kDecorationPrefixes[i].target;
        }
    }
    return kTargetOther;
}

// The decorations that each kind of Windows takes as its own, in WindowsKind order.
static const DecorationTarget kOwnTargets[kWindowsKindCount] = {kTargetX86, kTargetAmd64};

std::vector<ManufacturerModels> ModelsForArch(const InfDocument& document, WindowsKind kind) {
    const DecorationTarget own_target = kOwnTargets[kind];
    const bool needs_decoration = kWindowsKinds[kind].needs_decorated_models;
    std::vector<ManufacturerModels> result;
    const InfSection* manufacturer = FindInfSection(document, "Manufacturer");
    if (manufacturer == NULL) {
        return result;
    }
    for (size_t i = 0; i < manufacturer->lines.size(); ++i) {
        const InfLine& line = manufacturer->lines[i];
        ManufacturerModels entry;
        entry.models = ExpandInfString(document, line.values[0]);
        entry.entry = line.has_key ? line.key : entry.models;
        for (size_t d = 1; d < line.values.size(); ++d) {
            const DecorationTarget target = TargetOf(line.values[d]);
            if (target == own_target || (!needs_decoration && target == kTargetAnyNt)) {
                entry.sections.push_back(entry.models + "." + line.values[d]);
            }
        }
        if (entry.sections.empty() && !needs_decoration) {
            entry.sections.push_back(entry.models);
        }
        result.push_back(entry);
    }
    return result;
}

std::vector<std::string> EveryModelsSection(const InfDocument& document) {
    std::vector<std::string> names;
    const InfSection* manufacturer = FindInfSection(document, "Manufacturer");
    for (size_t l = 0; manufacturer != NULL && l < manufacturer->lines.size(); ++l) {
        const InfLine& line = manufacturer->lines[l];
        const std::string base = FoldAscii(ExpandInfString(document, line.values[0]));
        names.push_back(base);
        for (size_t d = 1; d < line.values.size(); ++d) {
            names.push_back(base + "." + FoldAscii(line.values[d]));
        }
    }
    std::vector<std::string> in_file_order;
    for (size_t s = 0; s < document.sections.size(); ++s) {
        const std::string folded = FoldAscii(document.sections[s].name);
        for (size_t n = 0; n < names.size(); ++n) {
            if (names[n] == folded) {
                in_file_order.push_back(document.sections[s].name);
                break;
            }
        }
    }
    return in_file_order;
}

// Adds the IDs of one models section's device lines ("desc = install, hwid, compatible...").
static void AddIdsOf(const InfDocument& document, const InfSection& section,
                     std::vector<std::string>* ids, std::vector<std::string>* folded) {
    for (size_t l = 0; l < section.lines.size(); ++l) {
        const InfLine& line = section.lines[l];
        for (size_t v = 1; line.has_key && v < line.values.size(); ++v) {
            const std::string id = ExpandInfString(document, line.values[v]);
            const std::string key = FoldAscii(id);
            bool seen = key.empty();
            for (size_t k = 0; !seen && k < folded->size(); ++k) {
                seen = (*folded)[k] == key;
            }
            if (!seen) {
                ids->push_back(id);
                folded->push_back(key);
            }
        }
    }
}

std::vector<std::string> HardwareIdsIn(const InfDocument& document,
                                       const std::vector<std::string>& sections) {
    std::vector<std::string> ids;
    std::vector<std::string> folded;
    for (size_t s = 0; s < sections.size(); ++s) {
        const InfSection* section = FindInfSection(document, sections[s]);
        if (section != NULL) {
            AddIdsOf(document, *section, &ids, &folded);
        }
    }
    return ids;
}

bool HardwareIdsForArch(const InfDocument& document, WindowsKind kind,
                        std::vector<std::string>* ids, std::string* error) {
    ids->clear();
    const std::vector<ManufacturerModels> entries = ModelsForArch(document, kind);
    std::vector<std::string> sections;
    std::string looked;
    for (size_t e = 0; e < entries.size(); ++e) {
        for (size_t s = 0; s < entries[e].sections.size(); ++s) {
            sections.push_back(entries[e].sections[s]);
            looked += (looked.empty() ? "[" : ", [") + entries[e].sections[s] + "]";
        }
    }
    *ids = HardwareIdsIn(document, sections);
    if (!ids->empty()) {
        return true;
    }
    if (entries.empty()) {
        *error = "no [Manufacturer] entries, so no models section";
    } else if (looked.empty()) {
        *error = std::string("no models section decorated ") + kWindowsKinds[kind].inf_decoration +
                 " in [Manufacturer]";
    } else {
        *error = "no hardware IDs in " + looked;
    }
    return false;
}
