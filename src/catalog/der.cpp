// The DER reader's bounds and the writer's minimal lengths.
#include "catalog/der.h"

#include <stdio.h>
#include <stdlib.h>

// A length above this cannot describe anything inside a catalog we read (4 GiB).
static const size_t kDerMaxLengthBytes = 4;
static const uint8_t kHighTagNumber = 0x1f;
static const uint8_t kConstructed = 0x20;
static const uint8_t kLongLength = 0x80;

DerReader DerOver(const uint8_t* data, size_t size) {
    DerReader reader = {data, size, 0};
    return reader;
}

bool DerAtEnd(const DerReader& reader) {
    return reader.size == 0;
}

bool DerNext(DerReader* reader, DerElement* element, std::string* error) {
    if (reader->size < 2) {
        *error = reader->size == 0 ? "an element is missing" : "an element is cut short";
        return false;
    }
    const uint8_t tag = reader->data[0];
    if ((tag & kHighTagNumber) == kHighTagNumber) {
        *error = "a multi-byte tag, which catalogs do not use";
        return false;
    }
    size_t header = 2;
    size_t length = reader->data[1];
    if ((length & kLongLength) != 0) {
        const size_t count = length & ~static_cast<size_t>(kLongLength);
        if (count == 0) {
            *error = "an indefinite length, which DER does not allow";
            return false;
        }
        if (count > kDerMaxLengthBytes || reader->size < header + count) {
            *error = "a length that does not fit";
            return false;
        }
        length = 0;
        for (size_t i = 0; i < count; ++i) {
            length = (length << 8) | reader->data[header + i];
        }
        header += count;
        if (length < kLongLength || (count > 1 && reader->data[2] == 0)) {
            *error = "a length not in its shortest form";
            return false;
        }
    }
    if (length > reader->size - header) {
        *error = "a length past the end of the data";
        return false;
    }
    const bool constructed = (tag & kConstructed) != 0;
    if (constructed && reader->depth + 1 > kDerMaxDepth) {
        *error = "nesting deeper than any catalog";
        return false;
    }
    element->tag = tag;
    element->content.data = reader->data + header;
    element->content.size = length;
    element->content.depth = reader->depth + (constructed ? 1 : 0);
    element->encoded = reader->data;
    element->encoded_size = header + length;
    reader->data += header + length;
    reader->size -= header + length;
    return true;
}

bool DerExpect(DerReader* reader, uint8_t tag, DerElement* element, std::string* error) {
    DerReader copy = *reader;
    if (!DerNext(&copy, element, error)) {
        return false;
    }
    if (element->tag != tag) {
        char text[64];
        snprintf(text, sizeof text, "tag 0x%02x where 0x%02x belongs", element->tag, tag);
        *error = text;
        return false;
    }
    *reader = copy;
    return true;
}

std::string DerBytes(const DerReader& content) {
    return std::string(reinterpret_cast<const char*>(content.data), content.size);
}

bool DerOidText(const DerReader& content, std::string* text) {
    if (content.size == 0 || (content.data[content.size - 1] & 0x80) != 0) {
        return false;
    }
    text->clear();
    uint64_t value = 0;
    bool first = true;
    for (size_t i = 0; i < content.size; ++i) {
        if (value > (UINT64_MAX >> 7)) {
            return false;
        }
        value = (value << 7) | (content.data[i] & 0x7f);
        if ((content.data[i] & 0x80) != 0) {
            continue;
        }
        if (first) {
            const uint64_t arc0 = value < 40 ? 0 : value < 80 ? 1 : 2;
            *text = std::to_string(arc0) + "." + std::to_string(value - arc0 * 40);
            first = false;
        } else {
            *text += "." + std::to_string(value);
        }
        value = 0;
    }
    return true;
}

bool DerUnsigned(const DerReader& content, uint64_t* value) {
    if (content.size == 0 || (content.data[0] & 0x80) != 0) {
        return false;
    }
    size_t start = content.data[0] == 0 ? 1 : 0;
    if (content.size - start > sizeof(uint64_t)) {
        return false;
    }
    *value = 0;
    for (size_t i = start; i < content.size; ++i) {
        *value = (*value << 8) | content.data[i];
    }
    return true;
}

std::string DerEncode(uint8_t tag, const std::string& content) {
    std::string out(1, static_cast<char>(tag));
    const size_t length = content.size();
    if (length < kLongLength) {
        out.push_back(static_cast<char>(length));
    } else {
        std::string bytes;
        for (size_t rest = length; rest != 0; rest >>= 8) {
            bytes.insert(bytes.begin(), static_cast<char>(rest & 0xff));
        }
        out.push_back(static_cast<char>(kLongLength | bytes.size()));
        out += bytes;
    }
    return out + content;
}

// Appends one arc in base 128, high groups first.
static void AppendBase128(std::string* out, uint64_t value) {
    std::string groups(1, static_cast<char>(value & 0x7f));
    for (value >>= 7; value != 0; value >>= 7) {
        groups.insert(groups.begin(), static_cast<char>(0x80 | (value & 0x7f)));
    }
    *out += groups;
}

std::string DerOidContent(const std::string& dotted) {
    std::string out;
    uint64_t arcs[2] = {0, 0};
    size_t index = 0;
    size_t begin = 0;
    while (begin <= dotted.size()) {
        size_t end = dotted.find('.', begin);
        if (end == std::string::npos) {
            end = dotted.size();
        }
        const uint64_t arc = strtoull(dotted.substr(begin, end - begin).c_str(), NULL, 10);
        if (index < 2) {
            arcs[index] = arc;
            if (index == 1) {
                AppendBase128(&out, arcs[0] * 40 + arcs[1]);
            }
        } else {
            AppendBase128(&out, arc);
        }
        ++index;
        begin = end + 1;
    }
    return out;
}

std::string DerOid(const std::string& dotted) {
    return DerEncode(kDerOid, DerOidContent(dotted));
}

std::string DerInteger(uint64_t value) {
    std::string bytes;
    do {
        bytes.insert(bytes.begin(), static_cast<char>(value & 0xff));
        value >>= 8;
    } while (value != 0);
    if ((static_cast<uint8_t>(bytes[0]) & 0x80) != 0) {
        bytes.insert(bytes.begin(), '\0');
    }
    return DerEncode(kDerInteger, bytes);
}
