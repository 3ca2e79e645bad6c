// Reads a driver package's INF text and checks what the launcher's pre-installer relies on.
#ifndef DRIVERSETUP_CHECK_INF_FILE_H
#define DRIVERSETUP_CHECK_INF_FILE_H

#include <stddef.h>

#include <map>
#include <string>
#include <vector>

#include "check/finding.h"

// The checker reads at most this much of an INF; even large multi-device packages stay far
// below it, so a bigger file is more likely the wrong file than a real INF.
const size_t kInfReadLimit = 4 * 1024 * 1024;

enum InfEncoding { kInfAnsiOrUtf8, kInfUtf8Bom, kInfUtf16LeBom };

// One line of a section: "key = v1, v2" or a bare "v1, v2" (has_key false). Keys and values
// come trimmed and without their enclosing double quotes.
struct InfLine {
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

// Turns raw bytes into UTF-8 text: strips a UTF-8 BOM, converts UTF-16LE behind its BOM.
// Returns false, with the reason in *error, for text Windows setup would not read.
bool DecodeInfText(const unsigned char* data, size_t size, std::string* text, InfEncoding* encoding,
                   std::string* error);

// Splits INF text into sections and lines: ';' comments (outside quotes) and blank lines go,
// a trailing backslash joins a line to the next.
InfDocument ParseInfText(const std::string& text, InfEncoding encoding);

// The section of that name, case ignored, or a null pointer.
const InfSection* FindInfSection(const InfDocument& document, const std::string& name);

// The value of a [Strings] key when `value` is a %key% token, else `value` itself.
std::string ExpandInfString(const InfDocument& document, const std::string& value);

enum InfArch { kInfX86, kInfAmd64 };

struct InfCheck {
    Findings findings;
    // The catalog file named for this architecture, to be found beside the INF; empty when
    // none is named.
    std::string catalog;
};

// Checks an INF's bytes for the row that installs it on `arch` Windows. Each finding's
// subject is `shown_path`.
InfCheck CheckInf(const unsigned char* data, size_t size, InfArch arch, Scope scope,
                  const std::string& shown_path);

#endif
