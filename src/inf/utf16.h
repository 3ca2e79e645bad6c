// UTF-16 and UTF-8, both ways, on 16-bit code units on every platform: the INF reader decodes
// UTF-16LE files with it, and the pre-installer converts Windows' wide strings with it.
#ifndef DRIVERSETUP_INF_UTF16_H
#define DRIVERSETUP_INF_UTF16_H

#include <stddef.h>
#include <stdint.h>

#include <string>

// What stands in for a unit or a byte sequence that encodes no character.
const uint32_t kReplacementCharacter = 0xfffd;

// Appends one Unicode code point to `out` as UTF-8.
void AppendUtf8(std::string* out, uint32_t code_point);

// Appends `count` UTF-16 code units to `out` as UTF-8; a surrogate that is not part of a
// high-low pair becomes U+FFFD.
void AppendUtf8FromUtf16(const char16_t* units, size_t count, std::string* out);

// Appends UTF-8 text to `out` as UTF-16 code units; each byte that starts no valid sequence
// (cut, overlong, a surrogate, past U+10FFFF) becomes U+FFFD.
void AppendUtf16FromUtf8(const std::string& utf8, std::u16string* out);

#endif
