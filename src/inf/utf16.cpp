// The one UTF-16 codec: surrogate pairs, unpaired surrogates and malformed UTF-8.
#include "inf/utf16.h"

static const uint32_t kHighSurrogateFirst = 0xd800;
static const uint32_t kLowSurrogateFirst = 0xdc00;
static const uint32_t kSurrogateLast = 0xdfff;
static const uint32_t kFirstSupplementary = 0x10000;
static const uint32_t kLastCodePoint = 0x10ffff;
static const int kSurrogateBits = 10;
static const uint32_t kSurrogateMask = 0x3ff;

static bool IsHighSurrogate(uint32_t unit) {
    return unit >= kHighSurrogateFirst && unit < kLowSurrogateFirst;
}

static bool IsLowSurrogate(uint32_t unit) {
    return unit >= kLowSurrogateFirst && unit <= kSurrogateLast;
}

void AppendUtf8(std::string* out, uint32_t code_point) {
    if (code_point < 0x80) {
        out->push_back(static_cast<char>(code_point));
    } else if (code_point < 0x800) {
        out->push_back(static_cast<char>(0xc0 | (code_point >> 6)));
        out->push_back(static_cast<char>(0x80 | (code_point & 0x3f)));
    } else if (code_point < kFirstSupplementary) {
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

void AppendUtf8FromUtf16(const char16_t* units, size_t count, std::string* out) {
    for (size_t i = 0; i < count; ++i) {
        const uint32_t unit = units[i];
        if (IsHighSurrogate(unit) && i + 1 < count && IsLowSurrogate(units[i + 1])) {
            const uint32_t low = units[i + 1];
            AppendUtf8(out, kFirstSupplementary + ((unit - kHighSurrogateFirst) << kSurrogateBits) +
                                (low - kLowSurrogateFirst));
            ++i;
            continue;
        }
        const bool unpaired = IsHighSurrogate(unit) || IsLowSurrogate(unit);
        AppendUtf8(out, unpaired ? kReplacementCharacter : unit);
    }
}

static void AppendUtf16(std::u16string* out, uint32_t code_point) {
    if (code_point >= kFirstSupplementary) {
        const uint32_t offset = code_point - kFirstSupplementary;
        out->push_back(static_cast<char16_t>(kHighSurrogateFirst + (offset >> kSurrogateBits)));
        out->push_back(static_cast<char16_t>(kLowSurrogateFirst + (offset & kSurrogateMask)));
    } else {
        out->push_back(static_cast<char16_t>(code_point));
    }
}

struct Utf8Lead {
    unsigned char first;
    unsigned char last;
    size_t length;
    uint32_t payload_mask;
    uint32_t smallest;  // anything below is an overlong form
};

// C0, C1 and F5-FF start no sequence; every other lead byte starts one of these.
static const Utf8Lead kUtf8Leads[] = {
    {0x00, 0x7f, 1, 0x7f, 0},
    {0xc2, 0xdf, 2, 0x1f, 0x80},
    {0xe0, 0xef, 3, 0x0f, 0x800},
    {0xf0, 0xf4, 4, 0x07, kFirstSupplementary},
};

static const Utf8Lead* LeadOf(unsigned char byte) {
    for (size_t i = 0; i < sizeof kUtf8Leads / sizeof kUtf8Leads[0]; ++i) {
        if (byte >= kUtf8Leads[i].first && byte <= kUtf8Leads[i].last) {
            return &kUtf8Leads[i];
        }
    }
    return NULL;
}

void AppendUtf16FromUtf8(const std::string& utf8, std::u16string* out) {
    size_t i = 0;
    while (i < utf8.size()) {
        const Utf8Lead* lead = LeadOf(static_cast<unsigned char>(utf8[i]));
        bool valid = lead != NULL && i + lead->length <= utf8.size();
        uint32_t code_point = valid ? static_cast<unsigned char>(utf8[i]) & lead->payload_mask : 0;
        for (size_t k = 1; valid && k < lead->length; ++k) {
            const unsigned char next = static_cast<unsigned char>(utf8[i + k]);
            valid = (next & 0xc0) == 0x80;
            code_point = (code_point << 6) | (next & 0x3f);
        }
        valid = valid && code_point >= lead->smallest && code_point <= kLastCodePoint &&
                !(code_point >= kHighSurrogateFirst && code_point <= kSurrogateLast);
        AppendUtf16(out, valid ? code_point : kReplacementCharacter);
        i += valid ? lead->length : 1;
    }
}
