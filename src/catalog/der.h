// DER as catalogs use it: a bounded reader that never reads past its buffer, and a writer
// that builds the fixed layout from nested parts.
#ifndef DRIVERSETUP_CATALOG_DER_H
#define DRIVERSETUP_CATALOG_DER_H

#include <stddef.h>
#include <stdint.h>

#include <string>

// The universal and context tags that catalogs hold.
enum DerTag : uint8_t {
    kDerBoolean = 0x01,
    kDerInteger = 0x02,
    kDerBitString = 0x03,
    kDerOctetString = 0x04,
    kDerNull = 0x05,
    kDerOid = 0x06,
    kDerUtf8String = 0x0c,
    kDerPrintableString = 0x13,
    kDerUtcTime = 0x17,
    kDerGeneralizedTime = 0x18,
    kDerBmpString = 0x1e,
    kDerSequence = 0x30,
    kDerSet = 0x31,
    kDerContext0 = 0xa0,
};

// Deeper than any catalog goes (about 12 levels), shallow enough that no input can make the
// reader recurse without end.
const int kDerMaxDepth = 32;

// A view of one element's content inside the buffer it was read from; depth counts the
// constructed elements it lies in.
struct DerReader {
    const uint8_t* data;
    size_t size;
    int depth;
};

// One element: its tag, its content, and its whole encoding (tag and length included).
struct DerElement {
    uint8_t tag;
    DerReader content;
    const uint8_t* encoded;
    size_t encoded_size;
};

// A reader over a whole buffer, at depth 0.
DerReader DerOver(const uint8_t* data, size_t size);

// Whether the reader has no bytes left.
bool DerAtEnd(const DerReader& reader);

// Reads the next element and moves the reader past it. Fails, with the reason in *error, on a
// multi-byte tag, an indefinite or non-minimal length, a length past the end, or nesting
// deeper than kDerMaxDepth; the reader is then unchanged.
bool DerNext(DerReader* reader, DerElement* element, std::string* error);

// DerNext that also requires `tag`.
bool DerExpect(DerReader* reader, uint8_t tag, DerElement* element, std::string* error);

// The content as bytes.
std::string DerBytes(const DerReader& content);

// The dotted form of an OID's content ("1.3.6.1.4.1.311.10.1"); false when malformed.
bool DerOidText(const DerReader& content, std::string* text);

// A non-negative INTEGER's value; false when negative or above 64 bits.
bool DerUnsigned(const DerReader& content, uint64_t* value);

// The encoding of one element: tag, minimal length, content.
std::string DerEncode(uint8_t tag, const std::string& content);

// The content of an OID from its dotted form; the form must be valid.
std::string DerOidContent(const std::string& dotted);

// An OID element, a non-negative INTEGER element.
std::string DerOid(const std::string& dotted);
std::string DerInteger(uint64_t value);

#endif
