// The checker's verdict on an INF: what Windows setup needs to take it and install it on a
// row's Windows.
#include "check/inf_check.h"

#include "package/file_set.h"
#include "inf/ascii.h"
#include "inf/inf_models.h"
#include "win/windows_kinds.h"

static const char* const kAcceptedSignatures[] = {"$Windows NT$", "$Chicago$"};

static const char* EncodingName(InfEncoding encoding) {
    static const char* const kNames[] = {"ANSI/UTF-8", "UTF-8 with BOM", "UTF-16LE with BOM"};
    return kNames[encoding];
}

// Checks that every manufacturer has models that `kind` Windows would read.
static void CheckManufacturers(const InfDocument& document, WindowsKind kind, Scope scope,
                               const std::string& subject, InfCheck* check) {
    const std::vector<ManufacturerModels> entries = ModelsForArch(document, kind);
    if (entries.empty()) {
        AddFinding(&check->findings, kSeverityWarning, scope, subject,
                   "has no [Manufacturer] entries, so it names no device to install; add one if it "
                   "should install a device");
        return;
    }
    const WindowsKindInfo& windows = kWindowsKinds[kind];
    const std::string decoration = windows.inf_decoration;
    size_t errors = 0;
    std::string used;
    for (size_t i = 0; i < entries.size(); ++i) {
        const ManufacturerModels& entry = entries[i];
        if (entry.sections.empty()) {
            AddFinding(&check->findings, kSeverityError, scope, subject,
                       "[Manufacturer] entry '" + entry.entry + "' names no " + decoration +
                           " decoration; " + windows.windows +
                           " ignores undecorated models sections, so the package installs nothing "
                           "there. Write '" +
                           entry.entry + " = " + entry.models + ", " + decoration + "' and add [" +
                           entry.models + "." + decoration + "]");
            ++errors;
            continue;
        }
        for (size_t s = 0; s < entry.sections.size(); ++s) {
            if (FindInfSection(document, entry.sections[s]) == NULL) {
                AddFinding(&check->findings, kSeverityError, scope, subject,
                           "[Manufacturer] entry '" + entry.entry + "' points to [" +
                               entry.sections[s] +
                               "], which the INF lacks; add that section with the device models");
                ++errors;
            } else {
                used += (used.empty() ? "[" : ", [") + entry.sections[s] + "]";
            }
        }
    }
    if (errors == 0) {
        AddFinding(&check->findings, kSeverityOk, scope, subject,
                   std::string("device models for ") + windows.windows + " in " + used);
    }
}

static void CheckCatalog(const InfDocument& document, WindowsKind kind, Scope scope,
                         const std::string& subject, InfCheck* check) {
    const WindowsKindInfo& windows = kWindowsKinds[kind];
    // The same lookup as the pre-installer's, so both name the same catalog.
    check->catalog = CatalogFileFor(document, kind);
    if (!check->catalog.empty()) {
        return;
    }
    if (windows.installs_only_signed) {
        AddFinding(&check->findings, kSeverityWarning, scope, subject,
                   std::string("names no catalog in [Version] (CatalogFile); ") + windows.windows +
                       " installs only signed driver packages, so sign the package and name its "
                       "catalog");
    } else {
        AddFinding(&check->findings, kSeverityOk, scope, subject,
                   std::string("names no catalog; ") + windows.windows +
                       " asks before it installs an unsigned package");
    }
}

InfCheck CheckInf(const unsigned char* data, size_t size, WindowsKind kind, Scope scope,
                  const std::string& shown_path) {
    InfCheck check;
    std::string text;
    std::string error;
    InfEncoding encoding = kInfAnsiOrUtf8;
    if (!DecodeInfText(data, size, &text, &encoding, &error)) {
        AddFinding(&check.findings, kSeverityError, scope, shown_path, error);
        return check;
    }
    const InfDocument document = ParseInfText(text, encoding);

    const InfSection* version = FindInfSection(document, "Version");
    const std::string* signature = FindInfValue(version, "Signature");
    if (version == NULL) {
        AddFinding(
            &check.findings, kSeverityError, scope, shown_path,
            "has no [Version] section, so Windows does not take it for an INF; add [Version] "
            "with Signature=\"$Windows NT$\"");
        return check;
    }
    if (signature == NULL) {
        AddFinding(&check.findings, kSeverityError, scope, shown_path,
                   "has no Signature in [Version]; add Signature=\"$Windows NT$\"");
        return check;
    }
    bool accepted = false;
    for (size_t i = 0; i < sizeof kAcceptedSignatures / sizeof(char*); ++i) {
        accepted = accepted || EqualsNoCase(*signature, kAcceptedSignatures[i]);
    }
    if (!accepted) {
        AddFinding(&check.findings, kSeverityError, scope, shown_path,
                   "has Signature '" + *signature +
                       "' in [Version]; Windows accepts only $Windows NT$ or $Chicago$");
        return check;
    }
    AddFinding(&check.findings, kSeverityOk, scope, shown_path,
               std::string("an INF (") + EncodingName(encoding) + ") with Signature " + *signature);
    CheckManufacturers(document, kind, scope, shown_path, &check);
    CheckCatalog(document, kind, scope, shown_path, &check);
    return check;
}
