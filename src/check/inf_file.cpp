// INF decoding, parsing and the checks that decide whether the package installs on a row's
// Windows.
#include "check/inf_file.h"

#include <stdio.h>

#include "check/ascii.h"

static const unsigned char kUtf8Bom[] = {0xef, 0xbb, 0xbf};
static const unsigned char kUtf16LeBom[] = {0xff, 0xfe};
static const unsigned char kUtf16BeBom[] = {0xfe, 0xff};
static const char* const kAcceptedSignatures[] = {"$Windows NT$", "$Chicago$"};

static const char kUnicodeReplacement[] = "\xef\xbf\xbd";

static bool StartsWith(const unsigned char* data, size_t size, const unsigned char* prefix,
                       size_t prefix_size) {
    if (size < prefix_size) {
        return false;
    }
    for (size_t i = 0; i < prefix_size; ++i) {
        if (data[i] != prefix[i]) {
            return false;
        }
    }
    return true;
}

static void AppendUtf8(std::string* out, uint32_t code_point) {
    if (code_point < 0x80) {
        out->push_back(static_cast<char>(code_point));
    } else if (code_point < 0x800) {
        out->push_back(static_cast<char>(0xc0 | (code_point >> 6)));
        out->push_back(static_cast<char>(0x80 | (code_point & 0x3f)));
    } else if (code_point < 0x10000) {
        out->push_back(static_cast<char>(0xe0 | (code_point >> 12)));
        out->push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3f)));
        out->push_back(static_cast<char>(0x80 | (code_point & 0x3f)));
    } else {
        out->push_back(static_cast<char>(0xf0 | (code_point >> 18)));
        out->push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3f)));
        out->push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3f)));
        out->push_back(static_cast<char>(0x80 | (code_point & 0x3f)));
    }
}

static std::string NulError(size_t offset) {
    char text[160];
    snprintf(text, sizeof text,
             "holds a NUL character at byte %zu: not INF text, or UTF-16 without a byte order "
             "mark; save it as ANSI, UTF-8 or UTF-16LE with a BOM",
             offset);
    return text;
}

// UTF-16LE code units from `data` (BOM already skipped) to UTF-8; unpaired surrogates become
// U+FFFD, as they would show in any editor.
static bool DecodeUtf16Le(const unsigned char* data, size_t size, std::string* text,
                          std::string* error) {
    if (size % 2 != 0) {
        *error = "is UTF-16LE with an odd number of bytes: cut short; copy it again";
        return false;
    }
    text->reserve(size / 2);
    for (size_t i = 0; i < size; i += 2) {
        const uint32_t unit = data[i] | (data[i + 1] << 8);
        if (unit == 0) {
            *error = NulError(i + sizeof kUtf16LeBom);
            return false;
        }
        if (unit >= 0xd800 && unit <= 0xdbff && i + 3 < size) {
            const uint32_t low = data[i + 2] | (data[i + 3] << 8);
            if (low >= 0xdc00 && low <= 0xdfff) {
                AppendUtf8(text, 0x10000 + ((unit - 0xd800) << 10) + (low - 0xdc00));
                i += 2;
                continue;
            }
        }
        if (unit >= 0xd800 && unit <= 0xdfff) {
            text->append(kUnicodeReplacement);
        } else {
            AppendUtf8(text, unit);
        }
    }
    return true;
}

bool DecodeInfText(const unsigned char* data, size_t size, std::string* text, InfEncoding* encoding,
                   std::string* error) {
    text->clear();
    if (StartsWith(data, size, kUtf16LeBom, sizeof kUtf16LeBom)) {
        *encoding = kInfUtf16LeBom;
        return DecodeUtf16Le(data + sizeof kUtf16LeBom, size - sizeof kUtf16LeBom, text, error);
    }
    if (StartsWith(data, size, kUtf16BeBom, sizeof kUtf16BeBom)) {
        *error = "is UTF-16 big-endian, which Windows setup does not read; save it as UTF-16LE";
        return false;
    }
    size_t start = 0;
    *encoding = kInfAnsiOrUtf8;
    if (StartsWith(data, size, kUtf8Bom, sizeof kUtf8Bom)) {
        *encoding = kInfUtf8Bom;
        start = sizeof kUtf8Bom;
    }
    for (size_t i = start; i < size; ++i) {
        if (data[i] == 0) {
            *error = NulError(i);
            return false;
        }
    }
    text->assign(reinterpret_cast<const char*>(data) + start, size - start);
    return true;
}

static bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

static std::string Trim(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

// A field without its enclosing quotes; "" inside quotes stands for one quote character.
static std::string Unquote(const std::string& field) {
    const std::string trimmed = Trim(field);
    std::string out;
    bool quoted = false;
    for (size_t i = 0; i < trimmed.size(); ++i) {
        if (trimmed[i] != '"') {
            out.push_back(trimmed[i]);
        } else if (quoted && i + 1 < trimmed.size() && trimmed[i + 1] == '"') {
            out.push_back('"');
            ++i;
        } else {
            quoted = !quoted;
        }
    }
    return out;
}

// The line up to a ';' that stands outside quotes.
static std::string StripComment(const std::string& line) {
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') {
            quoted = !quoted;
        } else if (line[i] == ';' && !quoted) {
            return line.substr(0, i);
        }
    }
    return line;
}

static InfLine SplitLine(const std::string& line) {
    InfLine parsed;
    parsed.has_key = false;
    bool quoted = false;
    std::string field;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            quoted = !quoted;
            field.push_back(c);
        } else if (c == '=' && !quoted && !parsed.has_key && parsed.values.empty()) {
            parsed.has_key = true;
            parsed.key = Unquote(field);
            field.clear();
        } else if (c == ',' && !quoted) {
            parsed.values.push_back(Unquote(field));
            field.clear();
        } else {
            field.push_back(c);
        }
    }
    parsed.values.push_back(Unquote(field));
    return parsed;
}

// The index of the section of that name, added when it is new. An index, not a pointer:
// adding a section may move the others.
static size_t SectionNamed(InfDocument* document, const std::string& name) {
    const std::map<std::string, size_t>::const_iterator found =
        document->index.find(FoldAscii(name));
    if (found != document->index.end()) {
        return found->second;
    }
    InfSection section;
    section.name = name;
    document->sections.push_back(section);
    document->index[FoldAscii(name)] = document->sections.size() - 1;
    return document->sections.size() - 1;
}

InfDocument ParseInfText(const std::string& text, InfEncoding encoding) {
    InfDocument document;
    document.encoding = encoding;
    // Lines before the first section header belong to none and are dropped.
    size_t current = std::string::npos;
    std::string pending;
    size_t begin = 0;
    while (begin <= text.size()) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = Trim(StripComment(text.substr(begin, end - begin)));
        begin = end + 1;
        // A backslash at the end continues the line on the next one.
        if (!line.empty() && line[line.size() - 1] == '\\' && begin <= text.size()) {
            pending += line.substr(0, line.size() - 1);
            continue;
        }
        line = Trim(pending + line);
        pending.clear();
        if (line.empty()) {
            continue;
        }
        if (line[0] == '[') {
            const size_t close = line.find(']');
            current = SectionNamed(
                &document,
                Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)));
            continue;
        }
        if (current != std::string::npos) {
            document.sections[current].lines.push_back(SplitLine(line));
        }
    }
    return document;
}

const InfSection* FindInfSection(const InfDocument& document, const std::string& name) {
    const std::map<std::string, size_t>::const_iterator found =
        document.index.find(FoldAscii(name));
    return found != document.index.end() ? &document.sections[found->second] : NULL;
}

// The first value of the first line with that key in the section, or null.
static const std::string* FindValue(const InfSection* section, const std::string& key) {
    if (section == NULL) {
        return NULL;
    }
    for (size_t i = 0; i < section->lines.size(); ++i) {
        const InfLine& line = section->lines[i];
        if (line.has_key && EqualsNoCase(line.key, key)) {
            return &line.values[0];
        }
    }
    return NULL;
}

std::string ExpandInfString(const InfDocument& document, const std::string& value) {
    if (value.size() < 3 || value[0] != '%' || value[value.size() - 1] != '%') {
        return value;
    }
    const std::string* expanded =
        FindValue(FindInfSection(document, "Strings"), value.substr(1, value.size() - 2));
    return expanded != NULL ? *expanded : value;
}

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

struct ArchRules {
    const char* windows;          // "64-bit Windows"
    const char* decoration;       // the decoration to suggest
    DecorationTarget own_target;  // decorations of this row's platform
    bool needs_decoration;        // the undecorated section is ignored there
    const char* catalog_key;      // CatalogFile.NTamd64 and the like
    bool needs_catalog;           // installs only signed packages
};

static const ArchRules kArchRules[] = {
    {"32-bit Windows", "NTx86", kTargetX86, false, "CatalogFile.NTx86", false},
    {"64-bit Windows", "NTamd64", kTargetAmd64, true, "CatalogFile.NTamd64", true},
};

// Keys tried in order after the row's own decorated one.
static const char* const kGenericCatalogKeys[] = {"CatalogFile.NT", "CatalogFile"};

static const char* EncodingName(InfEncoding encoding) {
    static const char* const kNames[] = {"ANSI/UTF-8", "UTF-8 with BOM", "UTF-16LE with BOM"};
    return kNames[encoding];
}

// Checks that every manufacturer has models that `rules`' Windows would read.
static void CheckManufacturers(const InfDocument& document, const ArchRules& rules, Scope scope,
                               const std::string& subject, InfCheck* check) {
    const InfSection* manufacturer = FindInfSection(document, "Manufacturer");
    if (manufacturer == NULL || manufacturer->lines.empty()) {
        AddFinding(&check->findings, kSeverityWarning, scope, subject,
                   "has no [Manufacturer] entries, so it names no device to install; add one if it "
                   "should install a device");
        return;
    }
    size_t errors = 0;
    std::string used;
    for (size_t i = 0; i < manufacturer->lines.size(); ++i) {
        const InfLine& line = manufacturer->lines[i];
        const std::string models = ExpandInfString(document, line.values[0]);
        const std::string entry = line.has_key ? line.key : models;
        std::vector<std::string> sections;
        for (size_t d = 1; d < line.values.size(); ++d) {
            const DecorationTarget target = TargetOf(line.values[d]);
            if (target == rules.own_target || (!rules.needs_decoration && target == kTargetAnyNt)) {
                sections.push_back(models + "." + line.values[d]);
            }
        }
        if (sections.empty() && rules.needs_decoration) {
            AddFinding(&check->findings, kSeverityError, scope, subject,
                       "[Manufacturer] entry '" + entry + "' names no " + rules.decoration +
                           " decoration; " + rules.windows +
                           " ignores undecorated models sections, so the package installs nothing "
                           "there. Write '" +
                           entry + " = " + models + ", " + rules.decoration + "' and add [" +
                           models + "." + rules.decoration + "]");
            ++errors;
            continue;
        }
        if (sections.empty()) {
            sections.push_back(models);
        }
        for (size_t s = 0; s < sections.size(); ++s) {
            if (FindInfSection(document, sections[s]) == NULL) {
                AddFinding(&check->findings, kSeverityError, scope, subject,
                           "[Manufacturer] entry '" + entry + "' points to [" + sections[s] +
                               "], which the INF lacks; add that section with the device models");
                ++errors;
            } else {
                used += (used.empty() ? "[" : ", [") + sections[s] + "]";
            }
        }
    }
    if (errors == 0) {
        AddFinding(&check->findings, kSeverityOk, scope, subject,
                   std::string("device models for ") + rules.windows + " in " + used);
    }
}

static void CheckCatalog(const InfDocument& document, const ArchRules& rules, Scope scope,
                         const std::string& subject, InfCheck* check) {
    const InfSection* version = FindInfSection(document, "Version");
    const std::string* catalog = FindValue(version, rules.catalog_key);
    for (size_t i = 0; catalog == NULL && i < sizeof kGenericCatalogKeys / sizeof(char*); ++i) {
        catalog = FindValue(version, kGenericCatalogKeys[i]);
    }
    if (catalog != NULL) {
        check->catalog = ExpandInfString(document, *catalog);
    }
    if (!check->catalog.empty()) {
        return;
    }
    if (rules.needs_catalog) {
        AddFinding(&check->findings, kSeverityWarning, scope, subject,
                   std::string("names no catalog in [Version] (CatalogFile); ") + rules.windows +
                       " installs only signed driver packages, so sign the package and name its "
                       "catalog");
    } else {
        AddFinding(&check->findings, kSeverityOk, scope, subject,
                   std::string("names no catalog; ") + rules.windows +
                       " asks before it installs an unsigned package");
    }
}

InfCheck CheckInf(const unsigned char* data, size_t size, InfArch arch, Scope scope,
                  const std::string& shown_path) {
    InfCheck check;
    std::string text;
    std::string error;
    InfEncoding encoding = kInfAnsiOrUtf8;
    if (!DecodeInfText(data, size, &text, &encoding, &error)) {
        AddFinding(&check.findings, kSeverityError, scope, shown_path, error);
        return check;
    }
    const InfDocument document = ParseInfText(text, encoding);
    const ArchRules& rules = kArchRules[arch];

    const InfSection* version = FindInfSection(document, "Version");
    const std::string* signature = FindValue(version, "Signature");
    if (version == NULL) {
        AddFinding(
            &check.findings, kSeverityError, scope, shown_path,
            "has no [Version] section, so Windows does not take it for an INF; add [Version] "
            "with Signature=\"$Windows NT$\"");
        return check;
    }
    if (signature == NULL) {
        AddFinding(&check.findings, kSeverityError, scope, shown_path,
                   "has no Signature in [Version]; add Signature=\"$Windows NT$\"");
        return check;
    }
    bool accepted = false;
    for (size_t i = 0; i < sizeof kAcceptedSignatures / sizeof(char*); ++i) {
        accepted = accepted || EqualsNoCase(*signature, kAcceptedSignatures[i]);
    }
    if (!accepted) {
        AddFinding(&check.findings, kSeverityError, scope, shown_path,
                   "has Signature '" + *signature +
                       "' in [Version]; Windows accepts only $Windows NT$ or $Chicago$");
        return check;
    }
    AddFinding(&check.findings, kSeverityOk, scope, shown_path,
               std::string("an INF (") + EncodingName(encoding) + ") with Signature " + *signature);
    CheckManufacturers(document, rules, scope, shown_path, &check);
    CheckCatalog(document, rules, scope, shown_path, &check);
    return check;
}
