// Conversions between UTF-8 and the platform's wide characters.
#include "preinstaller/wide_text.h"

#include <stdint.h>

#include "inf/inf_text.h"

static const uint32_t kReplacement = 0xfffd;
static const bool kWideIsUtf16 = sizeof(wchar_t) == 2;

std::string Utf8FromWide(const std::wstring& wide) {
    std::string out;
    for (size_t i = 0; i < wide.size(); ++i) {
        uint32_t unit = static_cast<uint32_t>(wide[i]);
        if (kWideIsUtf16 && unit >= 0xd800 && unit <= 0xdbff && i + 1 < wide.size()) {
            const uint32_t low = static_cast<uint32_t>(wide[i + 1]);
            if (low >= 0xdc00 && low <= 0xdfff) {
                AppendUtf8(&out, 0x10000 + ((unit - 0xd800) << 10) + (low - 0xdc00));
                ++i;
                continue;
            }
        }
        if ((unit >= 0xd800 && unit <= 0xdfff) || unit > 0x10ffff) {
            unit = kReplacement;
        }
        AppendUtf8(&out, unit);
    }
    return out;
}

static void AppendWide(std::wstring* out, uint32_t code_point) {
    if (kWideIsUtf16 && code_point >= 0x10000) {
        out->push_back(static_cast<wchar_t>(0xd800 + ((code_point - 0x10000) >> 10)));
        out->push_back(static_cast<wchar_t>(0xdc00 + ((code_point - 0x10000) & 0x3ff)));
    } else {
        out->push_back(static_cast<wchar_t>(code_point));
    }
}

// The length of the UTF-8 sequence that `lead` starts, or 0 for a byte that starts none.
static size_t SequenceLength(unsigned char lead) {
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xc2 && lead <= 0xdf) {
        return 2;
    }
    if (lead >= 0xe0 && lead <= 0xef) {
        return 3;
    }
    if (lead >= 0xf0 && lead <= 0xf4) {
        return 4;
    }
    return 0;
}

std::wstring WideFromUtf8(const std::string& utf8) {
    static const uint32_t kLeadMask[] = {0, 0x7f, 0x1f, 0x0f, 0x07};
    static const uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    std::wstring out;
    size_t i = 0;
    while (i < utf8.size()) {
        const size_t length = SequenceLength(static_cast<unsigned char>(utf8[i]));
        uint32_t code_point =
            length == 0 ? 0 : static_cast<unsigned char>(utf8[i]) & kLeadMask[length];
        bool valid = length != 0 && i + length <= utf8.size();
        for (size_t k = 1; valid && k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(utf8[i + k]);
            valid = (next & 0xc0) == 0x80;
            code_point = (code_point << 6) | (next & 0x3f);
        }
        valid = valid && code_point >= kSmallest[length] && code_point <= 0x10ffff &&
                !(code_point >= 0xd800 && code_point <= 0xdfff);
        AppendWide(&out, valid ? code_point : kReplacement);
        i += valid ? length : 1;
    }
    return out;
}
