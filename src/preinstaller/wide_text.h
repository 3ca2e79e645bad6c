// UTF-8 and wide text: wchar_t is UTF-16 on Windows and UTF-32 elsewhere; both are handled.
#ifndef DRIVERSETUP_PREINSTALLER_WIDE_TEXT_H
#define DRIVERSETUP_PREINSTALLER_WIDE_TEXT_H

#include <string>

// UTF-8 from wide text; unpaired surrogates become U+FFFD.
std::string Utf8FromWide(const std::wstring& wide);

// Wide text from UTF-8; malformed bytes become U+FFFD.
std::wstring WideFromUtf8(const std::string& utf8);

#endif
