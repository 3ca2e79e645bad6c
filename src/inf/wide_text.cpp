// Conversions between UTF-8 and wide strings of UTF-16 units, through the one codec.
#include "inf/wide_text.h"

#include "inf/utf16.h"

std::string Utf8FromWide(const std::wstring& wide) {
    const std::u16string units(wide.begin(), wide.end());
    std::string out;
    AppendUtf8FromUtf16(units.data(), units.size(), &out);
    return out;
}

std::wstring WideFromUtf8(const std::string& utf8) {
    std::u16string units;
    AppendUtf16FromUtf8(utf8, &units);
    return std::wstring(units.begin(), units.end());
}
