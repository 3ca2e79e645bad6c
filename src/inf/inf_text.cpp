// INF bytes to UTF-8 text: the encodings Windows setup reads, and the ones it does not.
#include "inf/inf_text.h"

#include <stdio.h>

static const unsigned char kUtf8Bom[] = {0xef, 0xbb, 0xbf};
static const unsigned char kUtf16LeBom[] = {0xff, 0xfe};
static const unsigned char kUtf16BeBom[] = {0xfe, 0xff};

static const char kUnicodeReplacement[] = "\xef\xbf\xbd";

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

void AppendUtf8(std::string* out, uint32_t code_point) {
    if (code_point < 0x80) {
        out->push_back(static_cast<char>(code_point));
    } else if (code_point < 0x800) {
        out->push_back(static_cast<char>(0xc0 | (code_point >> 6)));
        out->push_back(static_cast<char>(0x80 | (code_point & 0x3f)));
    } else if (code_point < 0x10000) {
        out->push_back(static_cast<char>(0xe0 | (code_point >> 12)));
        out->push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3f)));
        out->push_back(static_cast<char>(0x80 | (code_point & 0x3f)));
    } else {
        out->push_back(static_cast<char>(0xf0 | (code_point >> 18)));
        out->push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3f)));
        out->push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3f)));
        out->push_back(static_cast<char>(0x80 | (code_point & 0x3f)));
    }
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
    text->reserve(size / 2);
    for (size_t i = 0; i < size; i += 2) {
        const uint32_t unit = data[i] | (data[i + 1] << 8);
        if (unit == 0) {
            *error = NulError(i + sizeof kUtf16LeBom);
            return false;
        }
        if (unit >= 0xd800 && unit <= 0xdbff && i + 3 < size) {
            const uint32_t low = data[i + 2] | (data[i + 3] << 8);
            if (low >= 0xdc00 && low <= 0xdfff) {
                AppendUtf8(text, 0x10000 + ((unit - 0xd800) << 10) + (low - 0xdc00));
                i += 2;
                continue;
            }
        }
        if (unit >= 0xd800 && unit <= 0xdfff) {
            text->append(kUnicodeReplacement);
        } else {
            AppendUtf8(text, unit);
        }
    }
    return true;
}

bool DecodeInfText(const unsigned char* data, size_t size, std::string* text, InfEncoding* encoding,
                   std::string* error) {
    text->clear();
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
