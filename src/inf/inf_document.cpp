// INF text to sections and lines, with the lookups both programs make.
#include "inf/inf_document.h"

#include "inf/ascii.h"

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
    size_t line_number = 0;
    size_t pending_start = 0;
    while (begin <= text.size()) {
        ++line_number;
        size_t end = text.find('\n', begin);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = Trim(StripComment(text.substr(begin, end - begin)));
        begin = end + 1;
        // A backslash at the end continues the line on the next one.
        if (!line.empty() && line[line.size() - 1] == '\\' && begin <= text.size()) {
            if (pending.empty()) {
                pending_start = line_number;
            }
            pending += line.substr(0, line.size() - 1);
            continue;
        }
        const size_t start = pending.empty() ? line_number : pending_start;
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
            InfLine parsed = SplitLine(line);
            parsed.line_number = start;
            document.sections[current].lines.push_back(parsed);
        }
    }
    return document;
}

const InfSection* FindInfSection(const InfDocument& document, const std::string& name) {
    const std::map<std::string, size_t>::const_iterator found =
        document.index.find(FoldAscii(name));
    return found != document.index.end() ? &document.sections[found->second] : NULL;
}

const std::string* FindInfValue(const InfSection* section, const std::string& key) {
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
    const InfSection* strings = FindInfSection(document, "Strings");
    std::string out;
    size_t i = 0;
    while (i < value.size()) {
        const size_t close = value[i] == '%' ? value.find('%', i + 1) : std::string::npos;
        if (close == std::string::npos) {
            out.push_back(value[i]);
            ++i;
            continue;
        }
        const std::string key = value.substr(i + 1, close - i - 1);
        const std::string* found = key.empty() ? NULL : FindInfValue(strings, key);
        out += key.empty() ? "%" : found != NULL ? *found : value.substr(i, close - i + 1);
        i = close + 1;
    }
    return out;
}
