// INF bytes to UTF-8 text: the encodings Windows setup reads, and the ones it does not.
#include "inf/inf_text.h"

#include <stdio.h>

#include "inf/utf16.h"

static const unsigned char kUtf8Bom[] = {0xef, 0xbb, 0xbf};
static const unsigned char kUtf16LeBom[] = {0xff, 0xfe};
static const unsigned char kUtf16BeBom[] = {0xfe, 0xff};

static bool StartsWith(const unsigned char* data, size_t size, const unsigned char* prefix,
                       size_t prefix_size) {
    if (size < prefix_size) {
        return false;
    }
    for (size_t i = 0; i < prefix_size; ++i) {
        if (data[i] != prefix[i]) {
            return false;
        }
    }
    return true;
}

static std::string NulError(size_t offset) {
    char text[160];
    snprintf(text, sizeof text,
             "holds a NUL character at byte %zu: not INF text, or UTF-16 without a byte order "
             "mark; save it as ANSI, UTF-8 or UTF-16LE with a BOM",
             offset);
    return text;
}

// UTF-16LE code units from `data` (BOM already skipped) to UTF-8; unpaired surrogates become
// U+FFFD, as they would show in any editor.
static bool DecodeUtf16Le(const unsigned char* data, size_t size, std::string* text,
                          std::string* error) {
    if (size % 2 != 0) {
        *error = "is UTF-16LE with an odd number of bytes: cut short; copy it again";
        return false;
    }
    std::u16string units(size / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i) {
        units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
        if (units[i] == 0) {
            *error = NulError(2 * i + sizeof kUtf16LeBom);
            return false;
        }
    }
    text->reserve(units.size());
    AppendUtf8FromUtf16(units.data(), units.size(), text);
    return true;
}

bool DecodeInfText(const unsigned char* data, size_t size, std::string* text, InfEncoding* encoding,
                   std::string* error) {
    text->clear();
    if (size > kInfReadLimit) {
        char message[96];
        snprintf(message, sizeof message, "is larger than %zu MiB, which no real INF is",
                 kInfReadLimit / (1024 * 1024));
        *error = message;
        return false;
    }
    if (StartsWith(data, size, kUtf16LeBom, sizeof kUtf16LeBom)) {
        *encoding = kInfUtf16LeBom;
        return DecodeUtf16Le(data + sizeof kUtf16LeBom, size - sizeof kUtf16LeBom, text, error);
    }
    if (StartsWith(data, size, kUtf16BeBom, sizeof kUtf16BeBom)) {
        *error = "is UTF-16 big-endian, which Windows setup does not read; save it as UTF-16LE";
        return false;
    }
    size_t start = 0;
    *encoding = kInfAnsiOrUtf8;
    if (StartsWith(data, size, kUtf8Bom, sizeof kUtf8Bom)) {
        *encoding = kInfUtf8Bom;
        start = sizeof kUtf8Bom;
    }
    for (size_t i = start; i < size; ++i) {
        if (data[i] == 0) {
            *error = NulError(i);
            return false;
        }
    }
    text->assign(reinterpret_cast<const char*>(data) + start, size - start);
    return true;
}
