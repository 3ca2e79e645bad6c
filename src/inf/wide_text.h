// UTF-8 and Windows' wide text. Wide strings hold UTF-16 code units on every platform: on
// Windows wchar_t is 16 bits, and on the host, where it is wider, the tests put in the same
// units, so the code that ships is the code that is tested.
#ifndef DRIVERSETUP_INF_WIDE_TEXT_H
#define DRIVERSETUP_INF_WIDE_TEXT_H

#include <string>

// UTF-8 from wide text; unpaired surrogates become U+FFFD.
std::string Utf8FromWide(const std::wstring& wide);

// Wide text from UTF-8; malformed bytes become U+FFFD.
std::wstring WideFromUtf8(const std::string& utf8);

#endif
