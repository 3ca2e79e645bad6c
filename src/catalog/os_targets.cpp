// The target table and the attribute values made from it.
#include "catalog/os_targets.h"

#include "inf/ascii.h"

const OsTarget kOsTargets[] = {
    {"XP_X86", "XPX86", "2:5.1", kWindows32Bit, false},
    {"XP_X64", "XPX64", "2:5.2", kWindows64Bit, false},
    {"Vista_X86", "VistaX86", "2:6.0", kWindows32Bit, false},
    {"Vista_X64", "VistaX64", "2:6.0", kWindows64Bit, false},
    {"7_X86", "7X86", "2:6.1", kWindows32Bit, false},
    {"7_X64", "7X64", "2:6.1", kWindows64Bit, false},
    {"8_X86", "8X86", "2:6.2", kWindows32Bit, true},
    {"8_X64", "8X64", "2:6.2", kWindows64Bit, true},
    {"6_3_X86", "_v63", "2:6.3", kWindows32Bit, true},
    {"6_3_X64", "_v63_X64", "2:6.3", kWindows64Bit, true},
    {"10_X86", "_v100", "2:10.0", kWindows32Bit, true},
    {"10_X64", "_v100_X64", "2:10.0", kWindows64Bit, true},
    {"Server10_X64", "Server_v100_X64", "2:10.0", kWindows64Bit, true},
};
const size_t kOsTargetCount = sizeof kOsTargets / sizeof kOsTargets[0];

// Tokens that older tools wrote, with the kind each names.
struct LegacyToken {
    const char* token;
    WindowsKind kind;
};
static const LegacyToken kLegacyTokens[] = {{"10X86", kWindows32Bit}, {"10X64", kWindows64Bit}};

static std::vector<std::string> SplitCommas(const std::string& list) {
    std::vector<std::string> parts;
    size_t begin = 0;
    while (begin <= list.size()) {
        size_t end = list.find(',', begin);
        if (end == std::string::npos) {
            end = list.size();
        }
        std::string part = list.substr(begin, end - begin);
        while (!part.empty() && part[0] == ' ') {
            part.erase(0, 1);
        }
        while (!part.empty() && part[part.size() - 1] == ' ') {
            part.erase(part.size() - 1);
        }
        if (!part.empty()) {
            parts.push_back(part);
        }
        begin = end + 1;
    }
    return parts;
}

bool ParseOsTargets(const std::string& list, std::vector<size_t>* targets, std::string* error) {
    std::vector<bool> chosen(kOsTargetCount, false);
    const std::vector<std::string> parts = SplitCommas(list);
    if (parts.empty()) {
        *error = "--os names no target";
        return false;
    }
    for (size_t p = 0; p < parts.size(); ++p) {
        bool known = false;
        for (size_t t = 0; t < kOsTargetCount; ++t) {
            if (EqualsNoCase(parts[p], kOsTargets[t].identifier)) {
                chosen[t] = true;
                known = true;
            }
        }
        if (!known) {
            *error = "unknown target '" + parts[p] + "' in --os; known: ";
            for (size_t t = 0; t < kOsTargetCount; ++t) {
                *error += std::string(t == 0 ? "" : ",") + kOsTargets[t].identifier;
            }
            return false;
        }
    }
    targets->clear();
    for (size_t t = 0; t < kOsTargetCount; ++t) {
        if (chosen[t]) {
            targets->push_back(t);
        }
    }
    return true;
}

std::string OsAttributeValue(const std::vector<size_t>& targets) {
    std::string value;
    for (size_t i = 0; i < targets.size(); ++i) {
        value += std::string(i == 0 ? "" : ",") + kOsTargets[targets[i]].token;
    }
    return value;
}

std::string OsAttrValue(const std::vector<size_t>& targets) {
    // The table is in ascending version order, so each new version comes after the last.
    std::string value;
    std::string last;
    for (size_t i = 0; i < targets.size(); ++i) {
        const std::string version = kOsTargets[targets[i]].os_attr;
        if (version != last) {
            value += (value.empty() ? "" : ",") + version;
            last = version;
        }
    }
    return value;
}

std::vector<WindowsKind> KindsInOsValue(const std::string& value) {
    std::vector<bool> found(kWindowsKindCount, false);
    const std::vector<std::string> tokens = SplitCommas(value);
    for (size_t i = 0; i < tokens.size(); ++i) {
        for (size_t t = 0; t < kOsTargetCount; ++t) {
            if (EqualsNoCase(tokens[i], kOsTargets[t].token)) {
                found[kOsTargets[t].kind] = true;
            }
        }
        for (size_t l = 0; l < sizeof kLegacyTokens / sizeof kLegacyTokens[0]; ++l) {
            if (EqualsNoCase(tokens[i], kLegacyTokens[l].token)) {
                found[kLegacyTokens[l].kind] = true;
            }
        }
    }
    std::vector<WindowsKind> kinds;
    for (int k = 0; k < kWindowsKindCount; ++k) {
        if (found[k]) {
            kinds.push_back(static_cast<WindowsKind>(k));
        }
    }
    return kinds;
}
