// ASCII letter-case folding for the INF reader and the checker.
#include "inf/ascii.h"

static char FoldAsciiChar(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string FoldAscii(const std::string& text) {
    std::string folded = text;
    for (size_t i = 0; i < folded.size(); ++i) {
        folded[i] = FoldAsciiChar(folded[i]);
    }
    return folded;
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldAsciiChar(a[i]) != FoldAsciiChar(b[i])) {
            return false;
        }
    }
    return true;
}
