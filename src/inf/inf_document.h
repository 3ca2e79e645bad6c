// An INF's sections and lines, and the lookups that the checker and the pre-installer make.
#ifndef DRIVERSETUP_INF_INF_DOCUMENT_H
#define DRIVERSETUP_INF_INF_DOCUMENT_H

#include <stddef.h>

#include <map>
#include <string>
#include <vector>

#include "inf/inf_text.h"

// One line of a section: "key = v1, v2" or a bare "v1, v2" (has_key false). Keys and values
// come trimmed and without their enclosing double quotes.
struct InfLine {
    size_t line_number;  // 1-based, of the line's first physical line
    bool has_key;
    std::string key;
    std::vector<std::string> values;
};

// A section with all lines of every section of the same name (case ignored), in file order.
struct InfSection {
    std::string name;
    std::vector<InfLine> lines;
};

struct InfDocument {
    InfEncoding encoding;
    std::vector<InfSection> sections;
    // Section index by name in ASCII lower case, so that lookups stay fast in large files.
    std::map<std::string, size_t> index;
};

// Splits INF text into sections and lines: ';' comments (outside quotes) and blank lines go,
// a trailing backslash joins a line to the next.
InfDocument ParseInfText(const std::string& text, InfEncoding encoding);

// The section of that name, case ignored, or a null pointer.
const InfSection* FindInfSection(const InfDocument& document, const std::string& name);

// The first value of the first line with that key (case ignored) in the section, or a null
// pointer; a null section has no values.
const std::string* FindInfValue(const InfSection* section, const std::string& key);

// `value` with each %key% token, wherever it stands, replaced as Windows does: by the key's
// [Strings] value (key case ignored), "%%" by "%", and a key that [Strings] lacks left as it
// stands, percent signs and all. A lone '%' with no closing one stays.
std::string ExpandInfString(const InfDocument& document, const std::string& value);

#endif
