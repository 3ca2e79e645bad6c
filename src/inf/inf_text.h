// Reading an INF's bytes as text, the way Windows setup reads them.
#ifndef DRIVERSETUP_INF_INF_TEXT_H
#define DRIVERSETUP_INF_INF_TEXT_H

#include <stddef.h>
#include <stdint.h>

#include <string>

// Both programs read at most this much of an INF; even large multi-device packages stay far
// below it, so a bigger file is more likely the wrong file than a real INF.
const size_t kInfReadLimit = 4 * 1024 * 1024;

enum InfEncoding { kInfAnsiOrUtf8, kInfUtf8Bom, kInfUtf16LeBom };

// Turns raw bytes into UTF-8 text: strips a UTF-8 BOM, converts UTF-16LE behind its BOM.
// Returns false, with the reason in *error, for text Windows setup would not read and for
// more than kInfReadLimit bytes.
bool DecodeInfText(const unsigned char* data, size_t size, std::string* text, InfEncoding* encoding,
                   std::string* error);

#endif
