// CheckInf on small INF texts: encodings, the [Version] signature, the models sections each
// Windows reads, and the catalog it names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "check/inf_check.h"

namespace {

const char kSignature[] = "[Version]\nSignature=\"$Windows NT$\"\n";
const char kDecorated[] =
    "[Version]\nSignature=\"$Windows NT$\"\nCatalogFile=pkg.cat\n"
    "[Manufacturer]\n%Mfg%=Models,NTamd64\n[Models]\n[Models.NTamd64]\n[Strings]\nMfg=\"M\"\n";
const char kUndecorated[] =
    "[Version]\nSignature=\"$Windows NT$\"\nCatalogFile=pkg.cat\n"
    "[Manufacturer]\n%Mfg%=Models\n[Models]\n";

enum Encoding { kPlain, kUtf8WithBom, kUtf16Le, kUtf16Be };

struct InfCase {
    const char* name;
    std::string text;
    Encoding encoding;
    WindowsKind kind;
    // One letter a finding, in order: O ok, W warning, E error.
    const char* severities;
    // Must appear in one of the findings' texts.
    const char* says;
    const char* catalog;
};

static const InfCase kInfCases[] = {
    {"decorated package on 64-bit", kDecorated, kPlain, kWindows64Bit, "OO", "[Models.NTamd64]",
     "pkg.cat"},
    {"decorated package on 32-bit reads the undecorated models", kDecorated, kPlain, kWindows32Bit,
     "OO", "in [Models]", "pkg.cat"},
    {"undecorated package installs nothing on 64-bit", kUndecorated, kPlain, kWindows64Bit, "OE",
     "names no NTamd64 decoration", "pkg.cat"},
    {"undecorated package is fine on 32-bit", kUndecorated, kPlain, kWindows32Bit, "OO",
     "in [Models]", "pkg.cat"},
    {"version-suffixed decoration counts",
     std::string(kSignature) + "CatalogFile=a.cat\n[Manufacturer]\nM=Models,NTamd64.10.0...16299\n"
                               "[Models.NTamd64.10.0...16299]\n",
     kPlain, kWindows64Bit, "OO", "[Models.NTamd64.10.0...16299]", "a.cat"},
    {"decoration that only starts like NTamd64 does not count",
     std::string(kSignature) + "CatalogFile=a.cat\n[Manufacturer]\nM=Models,NTamd64x\n"
                               "[Models.NTamd64x]\n",
     kPlain, kWindows64Bit, "OE", "names no NTamd64 decoration", "a.cat"},
    {"decorated section missing",
     std::string(kSignature) + "CatalogFile=a.cat\n[Manufacturer]\nM=Models,NTamd64\n[Models]\n",
     kPlain, kWindows64Bit, "OE", "points to [Models.NTamd64], which the INF lacks", "a.cat"},
    {"NTx86 decoration needs its section on 32-bit",
     std::string(kSignature) + "[Manufacturer]\nM=Models,NTx86,NTamd64\n[Models]\n"
                               "[Models.NTamd64]\n",
     kPlain, kWindows32Bit, "OEO", "points to [Models.NTx86]", ""},
    {"undecorated models section missing on 32-bit",
     std::string(kSignature) + "[Manufacturer]\nM=Models\n", kPlain, kWindows32Bit, "OEO",
     "points to [Models]", ""},
    {"manufacturer name without a key is its own models section",
     std::string(kSignature) + "[Manufacturer]\nAcme\n[ACME]\n", kPlain, kWindows32Bit, "OOO",
     "in [Acme]", ""},
    {"section names ignore letter case",
     std::string(kSignature) + "CatalogFile=a.cat\n[manufacturer]\nM=models,ntAMD64\n"
                               "[MODELS.NTAMD64]\n",
     kPlain, kWindows64Bit, "OO", "device models for 64-bit Windows", "a.cat"},
    {"UTF-16LE with BOM", kDecorated, kUtf16Le, kWindows64Bit, "OO", "UTF-16LE with BOM",
     "pkg.cat"},
    {"UTF-8 with BOM", kDecorated, kUtf8WithBom, kWindows64Bit, "OO", "UTF-8 with BOM", "pkg.cat"},
    {"UTF-16 big-endian is refused", kDecorated, kUtf16Be, kWindows64Bit, "E", "big-endian", ""},
    {"NUL byte in ANSI text", std::string(kSignature) + std::string(1, '\0'), kPlain, kWindows32Bit,
     "E", "NUL character at byte 35", ""},
    {"missing Signature", "[Version]\nClass=USB\n", kPlain, kWindows32Bit, "E", "has no Signature",
     ""},
    {"Signature only in a comment", "[Version]\n;Signature=\"$Windows NT$\"\n", kPlain,
     kWindows32Bit, "E", "has no Signature", ""},
    {"no [Version] section", "[Manufacturer]\nM=Models\n[Models]\n", kPlain, kWindows32Bit, "E",
     "has no [Version] section", ""},
    {"wrong Signature", "[Version]\nSignature=\"$Windows 95$\"\n", kPlain, kWindows32Bit, "E",
     "has Signature '$Windows 95$'", ""},
    {"Chicago signature, any case, unquoted", "[Version]\r\nsignature = $CHICAGO$ ; old\r\n",
     kPlain, kWindows32Bit, "OWO", "Signature $CHICAGO$", ""},
    {"no manufacturer is a warning", kSignature, kPlain, kWindows32Bit, "OWO", "no [Manufacturer]",
     ""},
    {"no catalog on 64-bit is a warning",
     std::string(kSignature) + "[Manufacturer]\nM=Models,NTamd64\n[Models.NTamd64]\n", kPlain,
     kWindows64Bit, "OOW", "installs only signed driver packages", ""},
    {"decorated catalog key wins on 64-bit",
     std::string(kSignature) + "CatalogFile=all.cat\nCatalogFile.NTamd64=x64.cat\n"
                               "CatalogFile.NTx86=x86.cat\n[Manufacturer]\nM=Models,NTamd64\n"
                               "[Models.NTamd64]\n",
     kPlain, kWindows64Bit, "OO", "[Models.NTamd64]", "x64.cat"},
    {"decorated catalog key wins on 32-bit",
     std::string(kSignature) + "CatalogFile=all.cat\nCatalogFile.NTx86=x86.cat\n"
                               "[Manufacturer]\nM=Models\n[Models]\n",
     kPlain, kWindows32Bit, "OO", "in [Models]", "x86.cat"},
    {"catalog given as a string token",
     std::string(kSignature) + "CatalogFile=%Cat%\n[Manufacturer]\nM=Models,NTamd64\n"
                               "[Models.NTamd64]\n[Strings]\ncat=\"tok.cat\"\n",
     kPlain, kWindows64Bit, "OO", "[Models.NTamd64]", "tok.cat"},
    {"backslash continues a line",
     std::string(kSignature) + "CatalogFile=a.cat\n[Manufacturer]\nM=Models, \\\n NTamd64\n"
                               "[Models.NTamd64]\n",
     kPlain, kWindows64Bit, "OO", "[Models.NTamd64]", "a.cat"},
    {"semicolon inside quotes is not a comment",
     "[Version]\nSignature=\"$Windows NT$\"\nCatalogFile=\"a;b.cat\"\n[Manufacturer]\n"
     "M=Models,NTamd64\n[Models.NTamd64]\n",
     kPlain, kWindows64Bit, "OO", "[Models.NTamd64]", "a;b.cat"},
};

static std::vector<unsigned char> Encode(const std::string& text, Encoding encoding) {
    std::vector<unsigned char> bytes;
    if (encoding == kUtf8WithBom) {
        bytes = {0xef, 0xbb, 0xbf};
    } else if (encoding == kUtf16Le) {
        bytes = {0xff, 0xfe};
    } else if (encoding == kUtf16Be) {
        bytes = {0xfe, 0xff};
    }
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (encoding == kUtf16Le) {
            bytes.push_back(c);
            bytes.push_back(0);
        } else if (encoding == kUtf16Be) {
            bytes.push_back(0);
            bytes.push_back(c);
        } else {
            bytes.push_back(c);
        }
    }
    return bytes;
}

TEST(CheckInf, Table) {
    static const char kLetters[] = "OWE";
    for (const InfCase& row : kInfCases) {
        SCOPED_TRACE(row.name);
        const std::vector<unsigned char> bytes = Encode(row.text, row.encoding);
        const InfCheck check = CheckInf(bytes.data(), bytes.size(), row.kind, kScope64Bit, "P.inf");

        std::string severities;
        std::string texts;
        for (const Finding& finding : check.findings) {
            severities += kLetters[finding.severity];
            texts += finding.text + "\n";
            EXPECT_EQ(finding.subject, "P.inf");
            EXPECT_EQ(finding.scope, kScope64Bit);
        }
        EXPECT_EQ(severities, row.severities) << texts;
        EXPECT_NE(texts.find(row.says), std::string::npos) << texts;
        EXPECT_EQ(check.catalog, row.catalog);
    }
}

struct DecodeCase {
    const char* name;
    std::vector<unsigned char> bytes;
    bool ok;
    std::string text;
};

static const DecodeCase kDecodeCases[] = {
    {"surrogate pair becomes one UTF-8 character",
     {0xff, 0xfe, 0x3d, 0xd8, 0x00, 0xde},
     true,
     "\xf0\x9f\x98\x80"},
    {"lone high surrogate at the end", {0xff, 0xfe, 'a', 0, 0x3d, 0xd8}, true, "a\xef\xbf\xbd"},
    {"lone low surrogate",
     {0xff, 0xfe, 0x00, 0xde, 'b', 0},
     true,
     "\xef\xbf\xbd"
     "b"},
    {"Latin-1 letter from UTF-16", {0xff, 0xfe, 0xe9, 0x00}, true, "\xc3\xa9"},
    {"odd UTF-16 length", {0xff, 0xfe, 'a', 0, 'b'}, false, ""},
    {"ANSI bytes pass through", {'x', 0xe9}, true, "x\xe9"},
    {"empty file", {}, true, ""},
};

TEST(DecodeInfText, Table) {
    for (const DecodeCase& row : kDecodeCases) {
        SCOPED_TRACE(row.name);
        std::string text;
        std::string error;
        InfEncoding encoding = kInfAnsiOrUtf8;
        EXPECT_EQ(DecodeInfText(row.bytes.data(), row.bytes.size(), &text, &encoding, &error),
                  row.ok)
            << error;
        if (row.ok) {
            EXPECT_EQ(text, row.text);
        } else {
            EXPECT_FALSE(error.empty());
        }
    }
}

}  // namespace
