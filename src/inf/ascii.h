// Letter-case folding as the INF reader and the checker need it: ASCII only, the way the launcher's
// paths and INF section names are written.
#ifndef DRIVERSETUP_INF_ASCII_H
#define DRIVERSETUP_INF_ASCII_H

#include <string>

// The text with A-Z turned into a-z; other bytes as they are.
std::string FoldAscii(const std::string& text);

// True when a and b differ at most in the letter case of A-Z.
bool EqualsNoCase(const std::string& a, const std::string& b);

#endif
